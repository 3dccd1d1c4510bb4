// The format option dialogs on Qt's offscreen platform: for each one an OK
// that stores into the settings store, read back by a real conversion of the
// built program; the refusals that keep a dialog open and store nothing;
// Cancel; the DXF option files; and the layout in every language.
#include "core/MessageTable.h"
#include "framework/AllFormatOptions.h"
#include "framework/SettingsKey.h"
#include "gui/FormatDialog.h"
#include "gui/FormatOptionDialogs.h"
#include "platform/SettingsStore.h"
#include "tests/gui/GuiSuite.h"
#include "tests/support/Languages.h"
#include "tests/support/RunProgram.h"
#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <type_traits>

namespace vltrx::gui {
namespace {

namespace fs = std::filesystem;
using test::slurp;
using test::spit;

class FormatDialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { test::startQtApplication(); }
  void SetUp() override {
    setLanguage(Language::En);
    settingsKey().create(kProgramKeyPath, SettingsKey::Access::Full);
  }
  void TearDown() override { settingsKey().close(); }

  /// Runs vltrx on a file written into the sandbox; returns the output.
  std::string convert(const std::string& inName, const std::string& input, const std::string& outName,
                      const std::string& inFormat, const std::string& outFormat) {
    fs::path in = test::workPath(m_box.root(), inName), out = test::workPath(m_box.root(), outName);
    spit(in, input);
    test::Result r = test::runProgram(m_box.root(), {in.string(), out.string(), "-in:" + inFormat,
                                                      "-out:" + outFormat, "-nodialog"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    return slurp(out);
  }

  test::Sandbox m_box;
};

// ---- Driving modal dialogs ------------------------------------------------------------------------

/// One step on the dialog in front. A step that returns false is not done
/// yet (the dialog it waits for is not in front) and runs again later.
struct Step {
  template <class F>
  Step(F f) {
    if constexpr (std::is_same_v<std::invoke_result_t<F, QWidget*>, bool>)
      run = f;
    else
      run = [f](QWidget* w) {
        f(w);
        return true;
      };
  }
  std::function<bool(QWidget*)> run;
  bool onFileDialog = false;  ///< the step waits for a file dialog, all others for a dialog of ours
};

template <class T>
T* find(QWidget* dialog, const char* name) {
  T* w = dialog->findChild<T*>(name);
  EXPECT_NE(w, nullptr) << name;
  return w;
}

/// Clicks a button later, from the event loop, so that a message box it
/// opens is answered by the same timer that runs the steps.
void clickLater(QWidget* dialog, const char* name) {
  if (auto* b = find<QAbstractButton>(dialog, name)) QTimer::singleShot(0, b, &QAbstractButton::click);
}

void setText(QWidget* dialog, const char* name, const QString& value) {
  QWidget* w = find<QWidget>(dialog, name);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->setText(value);
  if (auto* combo = qobject_cast<QComboBox*>(w)) {
    if (combo->isEditable())
      combo->setEditText(value);
    else
      combo->setCurrentIndex(combo->findText(value));
  }
}

void setChecked(QWidget* dialog, const char* name, bool on) {
  if (auto* b = find<QAbstractButton>(dialog, name)) b->setChecked(on);
}

/// Runs open (which shows a modal dialog) while the steps act, one per
/// tick, on the modal dialog in front. Message boxes are answered with
/// their first button and their texts collected in boxes. A dialog still
/// open after the last step is cancelled and fails the test.
void drive(const std::function<void()>& open, std::vector<Step> steps, QStringList* boxes = nullptr) {
  size_t next = 0;
  int idle = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    QWidget* front = QApplication::activeModalWidget();
    if (!front) return;
    if (auto* box = qobject_cast<QMessageBox*>(front)) {
      if (boxes) *boxes << box->text();
      box->buttons().first()->click();
      return;
    }
    if (next < steps.size()) {
      const bool files = qobject_cast<QFileDialog*>(front) != nullptr;
      if (files == steps[next].onFileDialog && steps[next].run(front)) ++next;
    } else if (++idle > 50) {
      ADD_FAILURE() << "dialog left open: " << front->windowTitle().toStdString();
      if (auto* d = qobject_cast<QDialog*>(front)) d->reject();
    }
  });
  timer.start(20);
  open();
  timer.stop();
  EXPECT_EQ(next, steps.size()) << "the dialog ended before all steps ran";
}

/// A step that picks file in the file dialog in front.
Step chooseFile(const fs::path& file, QString* shownFolder = nullptr) {
  Step step = [file, shownFolder](QWidget* front) {
    auto* files = qobject_cast<QFileDialog*>(front);
    if (shownFolder) *shownFolder = files->directory().absolutePath();
    files->selectFile(QString::fromStdString(file.string()));
    QMetaObject::invokeMethod(files, "accept", Qt::QueuedConnection);
  };
  step.onFileDialog = true;
  return step;
}

/// Every value the dialogs may have written.
std::vector<std::string> storedNames() {
  std::vector<std::string> names;
  if (platform::SettingsStore* store = settingsKey().userStore())
    for (const platform::SettingsValue& v : store->values(kProgramKeyPath)) names.push_back(v.name);
  return names;
}

/// A stored value as text: a string as it is, a 32-bit number in decimal;
/// "(none)" when missing.
std::string storedText(const char* name) {
  platform::SettingsStore* store = settingsKey().userStore();
  std::optional<platform::SettingsValue> v = store ? store->read(kProgramKeyPath, name) : std::nullopt;
  if (!v) return "(none)";
  if (v->type != platform::ValueType::Dword || v->data.size() != 4) return v->data;
  uint32_t n = 0;
  for (int i = 3; i >= 0; --i) n = n << 8 | static_cast<unsigned char>(v->data[i]);
  return std::to_string(n);
}

void clearStore() {
  for (const std::string& name : storedNames()) settingsKey().deleteValue(name);
}

// ---- OK: stored, and used by a conversion ---------------------------------------------------------

struct RoundTrip {
  const char* name;
  std::function<bool()> open;  ///< runs the dialog on the record loaded from the store
  Step fill;
  std::vector<std::pair<const char*, const char*>> stored;  ///< values stored, as storedText gives them
  // The conversion that reads it.
  const char* inName;
  const char* input;
  const char* outName;
  const char* inFormat;
  const char* outFormat;
  std::string expected;  ///< in the output
  const char* unexpected = nullptr;
};

template <class Record>
std::function<bool()> opener(bool (*run)(QWidget*, Record&)) {
  return [run] {
    Record record;
    record.load(settingsKey(), true);
    return run(nullptr, record);
  };
}

const char* const kTwoLayers =
    "  0\nSECTION\n  2\nENTITIES\n"
    "  0\nPOINT\n  8\nVL_A\n 10\n1.5\n 20\n2.5\n 30\n0\n"
    "  0\nPOINT\n  8\nOTHER\n 10\n3.5\n 20\n4.5\n 30\n0\n"
    "  0\nENDSEC\n  0\nEOF\n";

TEST_F(FormatDialogTest, OkStoresEveryDialogsValuesAndTheConversionUsesThem) {
  const RoundTrip cases[] = {
      {"dxf in", opener(runDxfInputDialog),
       [](QWidget* d) { setChecked(d, "DXF_ImportAllLayers", false); },
       {{"DXF_ImportAllLayers", "0"}, {"DXF_Approx", "0.0100000000"}}, "two.dxf", kTwoLayers, "two.csv", "dxf", "csv",
       "1;1.5000;2.5000", "3.5000"},
      {"dxf out", opener(runDxfOutputDialog),
       [](QWidget* d) {
         setText(d, "DXF_PDMODE", QString::fromStdString(text(183) + " " + text(186)));
         setChecked(d, "DXF_PID", true);
         setText(d, "DXF_PIDHeight", "5%");
       },
       {{"DXF_PIDHeight", "-5.0000000000"}, {"DXF_PDMODE", "34"}, {"DXF_PID", "1"}}, "p.txt", "7 10 20 3\r\n",
       "p.dxf", "txt", "dxf", "$PDMODE\r\n 70\r\n34\r\n"},
      {"csv in", opener(runCsvInputDialog),
       [](QWidget* d) {
         setText(d, "CSV_In_Delimiter", "TAB");
         setText(d, "CSV_In_Decimal", ",");
       },
       {{"CSV_In_Delimiter", "\t"}, {"CSV_In_Decimal", ","}, {"CSV_In_ScaleFactor", "1.0000000000"}}, "t.csv",
       "1\t10,5\t20,25\t3\r\n", "t.txt", "csv", "txt", "1\t10.5000\t20.2500\t3.0000\t"},
      {"csv out", opener(runCsvOutputDialog),
       [](QWidget* d) {
         setText(d, "CSV_Out_Delimiter", "|");
         setText(d, "CSV_Out_Decimal", ",");
       },
       {{"CSV_Out_Delimiter", "|"}, {"CSV_Out_Decimal", ","}}, "c.txt", "1 10.5 20.25 3\r\n", "c.csv", "txt", "csv",
       "1|10,5000|20,2500|3,0000|"},
      {"txt in", opener(runTxtInputDialog),
       [](QWidget* d) {
         setText(d, "TXT_In_Delimiter", ";");
         setText(d, "TXT_In_Format", "#YXZ");
       },
       {{"TXT_In_Format", "#YXZ"}, {"TXT_In_Delimiter", ";"}}, "i.txt", "1;20.25;10.5;3\r\n", "i.csv", "txt", "csv",
       "1;10.5000;20.2500;3.0000;"},
      {"txt out", opener(runTxtOutputDialog),
       [](QWidget* d) {
         setText(d, "TXT_Out_Delimiter", ";");
         setText(d, "TXT_Out_Format", "#ZXY");
       },
       {{"TXT_Out_Format", "#ZXY"}, {"TXT_Out_Delimiter", ";"}}, "o.txt", "1 10.5 20.25 3\r\n", "o2.txt", "txt", "txt",
       "1;3.0000;10.5000;20.2500;"},
      {"gsi in", opener(runGsiInputDialog), [](QWidget* d) { setText(d, "GSI_In_WordIndex_Comment", "72"); },
       {{"GSI_In_WordIndex_Comment", "72"}, {"GSI_InScaleFactor", "1.0000000000"}}, "g.gsi",
       "110001+00000007 720000+000000AB 81..00+00010500 82..00+00020250 83..00+00003000 \r\n", "g.csv", "gsi",
       "csv", "7;10.5000;20.2500;3.0000;;\"AB\""},
      {"reb out", opener(runRebOutputDialog),
       [](QWidget* d) {
         setText(d, "REB_Out_KZ", "42");
         setChecked(d, "REB_OutType_DA45", true);
       },
       {{"REB_Out_KZ", "42"}, {"REB_OutType", "3"}}, "r.txt", "7 1.2345 2 3\r\n", "r.reb", "txt", "reb",
       // DA30 with KZ 42 (id in 8 columns, an empty comment in 30), then DA45.
       "3042" + std::string(8, ' ') + "       7" + std::string(30, ' ') + "      1235      2000      3000\r\n" +
           "45      7       1235      2000      3000\r\n"},
  };
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(c.name);
    clearStore();  // each case from the defaults
    bool ok = false;
    drive([&] { ok = c.open(); }, {c.fill, [](QWidget* d) { clickLater(d, "ok"); }});
    EXPECT_TRUE(ok);
    for (const auto& [name, value] : c.stored) EXPECT_EQ(storedText(name), value) << name;
    std::string out = convert(c.inName, c.input, c.outName, c.inFormat, c.outFormat);
    EXPECT_NE(out.find(c.expected), std::string::npos) << out;
    if (c.unexpected) {
      EXPECT_EQ(out.find(c.unexpected), std::string::npos) << out;
    }
  }
}

// ---- Refusals and Cancel: the dialog stays open and nothing is stored ------------------------------

struct Refusal {
  const char* name;
  std::function<bool()> open;
  Step fill;
  QString box;  ///< the message shown on OK; empty: Cancel without OK
};

QString between(int minimum, int maximum) {
  QString s = QString::fromStdString(text(130));
  s.replace(s.indexOf("%i"), 2, QString::number(minimum));
  s.replace(s.indexOf("%i"), 2, QString::number(maximum));
  return s;
}

TEST_F(FormatDialogTest, RefusedValuesKeepTheDialogOpenAndStoreNothing) {
  const Refusal cases[] = {
      {"txt delimiter _", opener(runTxtInputDialog), [](QWidget* d) { setText(d, "TXT_In_Delimiter", "_"); },
       formatText(265, "_")},
      {"txt output delimiter _", opener(runTxtOutputDialog), [](QWidget* d) { setText(d, "TXT_Out_Delimiter", "_"); },
       formatText(265, "_")},
      {"txt layout without y", opener(runTxtInputDialog), [](QWidget* d) { setText(d, "TXT_In_Format", "#XZ"); },
       QString::fromStdString(text(131))},
      {"txt output layout with a letter of input only", opener(runTxtOutputDialog),
       [](QWidget* d) { setText(d, "TXT_Out_Format", "#XYQ"); }, QString::fromStdString(text(131))},
      {"gsi word index 100", opener(runGsiInputDialog),
       [](QWidget* d) { setText(d, "GSI_In_WordIndex_Category", "100"); }, between(0, 99)},
      {"reb kz 9", opener(runRebOutputDialog), [](QWidget* d) { setText(d, "REB_Out_KZ", "9"); }, between(10, 89)},
      {"reb kz 90", opener(runRebOutputDialog), [](QWidget* d) { setText(d, "REB_Out_KZ", "90"); }, between(10, 89)},
      {"csv same delimiters", opener(runCsvInputDialog),
       [](QWidget* d) {
         setText(d, "CSV_In_Delimiter", ",");
         setText(d, "CSV_In_Decimal", ",");
       },
       QString::fromStdString(text(268))},
      {"dxf approximation below the command line's limit", opener(runDxfInputDialog),
       [](QWidget* d) { setText(d, "DXF_Approx", "0.0005"); }, QString::fromStdString(text(99))},
      {"dxf empty height", opener(runDxfOutputDialog), [](QWidget* d) { setText(d, "DXF_PIDHeight", ""); },
       QString::fromStdString(text(128))},
      {"dxf cancel", opener(runDxfInputDialog),
       [](QWidget* d) {
         setChecked(d, "DXF_PID_Import", true);
         setText(d, "DXF_Epsilon", "0.2");
       },
       QString()},
      {"csv cancel", opener(runCsvOutputDialog), [](QWidget* d) { setText(d, "CSV_Out_Delimiter", "TAB"); },
       QString()},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.name);
    QStringList boxes;
    bool ok = true, openAfterBox = false;
    std::vector<Step> steps = {c.fill};
    if (!c.box.isEmpty()) {
      steps.push_back([](QWidget* d) { clickLater(d, "ok"); });
      steps.push_back([&](QWidget* d) { openAfterBox = d->isVisible() && !boxes.isEmpty(); });
    }
    steps.push_back([](QWidget* d) { clickLater(d, "cancel"); });
    drive([&] { ok = c.open(); }, steps, &boxes);
    EXPECT_FALSE(ok);
    if (c.box.isEmpty()) {
      EXPECT_TRUE(boxes.isEmpty());
    } else {
      EXPECT_EQ(boxes, QStringList{c.box});
      EXPECT_TRUE(openAfterBox);
    }
    EXPECT_EQ(storedNames(), std::vector<std::string>{});
  }
}

// ---- DXF option files --------------------------------------------------------------------------------

TEST_F(FormatDialogTest, DxfOptionFileSavesWhatTheDialogShowsAndLoadsBackIntoIt) {
  fs::path folder = m_box.root() / "dxf-options", file = folder / "survey.trxopt";
  fs::create_directories(folder);
  settingsKey().writeString("DxfConfigDir", folder.string());

  // Save from the input dialog: the file holds the edited value, and the
  // file dialog opened in "DxfConfigDir".
  QString shown;
  bool ok = false;
  drive([&] { ok = opener(runDxfInputDialog)(); },
        {[](QWidget* d) {
           setText(d, "DXF_Approx", "0,05");
           setChecked(d, "DXF_PID_ImportIgnoreZ", true);
           clickLater(d, "saveOptions");
         },
         chooseFile(file, &shown), [](QWidget* d) { clickLater(d, "cancel"); }});
  EXPECT_FALSE(ok);
  EXPECT_EQ(shown.toStdString(), folder.string());
  std::string saved = slurp(file);
  EXPECT_NE(saved.find("\"DXF_Approx\"=\"0.0500000000\"\r\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("\"DXF_PID_ImportEpsilon\"=\"-0.0050000000\"\r\n"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("DXF_PDMODE"), std::string::npos) << "an input file holds no output values";

  // Changed afterwards; a load brings the file's value back into the store
  // and into the dialog, which OK then keeps.
  settingsKey().writeDouble("DXF_Approx", 0.2);
  QStringList boxes;
  QString afterLoad;
  drive([&] { ok = opener(runDxfInputDialog)(); },
        {[&](QWidget* d) {
           d->setProperty("beforeLoad", true);
           clickLater(d, "loadOptions");
         },
         chooseFile(file),
         [&](QWidget* d) {
           // The dialog opens again with the loaded values.
           if (d->property("beforeLoad").toBool()) return false;
           afterLoad = find<QLineEdit>(d, "DXF_Approx")->text();
           clickLater(d, "ok");
           return true;
         }},
        &boxes);
  EXPECT_TRUE(ok);
  EXPECT_EQ(boxes, QStringList{formatText(249, QString::fromStdString(file.string()))});
  EXPECT_EQ(afterLoad, "0.050000");
  DxfOptions o;
  o.load(settingsKey(), true);
  EXPECT_DOUBLE_EQ(o.approx, 0.05);
  EXPECT_TRUE(o.pidImportIgnoreZ);
}

// ---- Layout: every label fits in every language ----------------------------------------------------

TEST_F(FormatDialogTest, EveryLanguageFitsAndIsCaptured) {
  const char* shots = std::getenv("VLTRX_SCREENSHOT_DIR");
  fs::path folder = shots && *shots ? fs::path(shots) : m_box.root();
  const char* codes[] = {"de", "en", "fr", "it", "es", "ru"};
  struct Dialog {
    const char* name;
    std::function<bool()> open;
  };
  const Dialog dialogs[] = {{"dxf-in", opener(runDxfInputDialog)},   {"dxf-out", opener(runDxfOutputDialog)},
                            {"csv-in", opener(runCsvInputDialog)},   {"txt-out", opener(runTxtOutputDialog)},
                            {"gsi-in", opener(runGsiInputDialog)},   {"reb-out", opener(runRebOutputDialog)}};
  for (size_t i = 0; i < std::size(test::kLanguages); ++i) {
    setLanguage(test::kLanguages[i]);
    for (const Dialog& dialog : dialogs) {
      SCOPED_TRACE(std::string(codes[i]) + " " + dialog.name);
      drive(dialog.open, {[&](QWidget* d) {
                            for (QWidget* w : d->findChildren<QWidget*>()) {
                              if (!w->isVisible()) continue;
                              QString label;
                              if (auto* l = qobject_cast<QLabel*>(w)) label = l->text();
                              if (auto* b = qobject_cast<QAbstractButton*>(w)) label = b->text();
                              if (auto* c = qobject_cast<QComboBox*>(w)) label = c->currentText();
                              if (label.isEmpty()) continue;
                              EXPECT_GE(w->width(), w->sizeHint().width()) << label.toStdString();
                            }
                            fs::path png = folder / ("gui-" + std::string(dialog.name) + "-" + codes[i] + ".png");
                            EXPECT_TRUE(d->grab().save(QString::fromStdString(png.string()), "PNG"));
                            clickLater(d, "cancel");
                          }});
    }
  }
  setLanguage(Language::En);
}

}  // namespace
}  // namespace vltrx::gui
