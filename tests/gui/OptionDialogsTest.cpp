// The option dialogs on Qt's offscreen platform: the checks and stores of
// the control routines, the generic dialogs built by the form, the dispatch
// by format and direction, -opt: with and without a display, a stored value
// used by a real conversion, and screenshots in German and Russian.
#include "core/MessageTable.h"
#include "framework/AllFormatOptions.h"
#include "framework/FormatTable.h"
#include "framework/SettingsKey.h"
#include "gui/GenericOptionsDialog.h"
#include "gui/MainDialog.h"
#include "gui/OptionControls.h"
#include "gui/OptionDialogs.h"
#include "gui/OptionForm.h"
#include "tests/gui/GuiSuite.h"
#include "tests/support/Languages.h"
#include "tests/support/RunProgram.h"
#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <functional>

namespace vltrx::gui {
namespace {

namespace fs = std::filesystem;

QString msg(int id) { return QString::fromStdString(text(id)); }

std::string stored(const std::string& name) {
  std::string v;
  settingsKey().applyDefaults = true;
  return settingsKey().readString(name, v, "") ? v : "<missing>";
}

class OptionDialogTest : public test::GuiSuite {
 protected:
  void SetUp() override {
    GuiSuite::SetUp();
    formatOptions().loadAll(settingsKey(), false);
  }
};

/// Answers every message box that opens while f runs (OK) and collects
/// their texts; onBox runs inside each box before it is closed.
QStringList answeringBoxes(const std::function<void()>& f, const std::function<void()>& onBox = {}) {
  QStringList texts;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    texts << box->text();
    if (onBox) onBox();
    box->done(QMessageBox::Ok);
  });
  timer.start(10);
  f();
  return texts;
}

/// Runs f while the first modal dialog that is no message box gets dialog(d).
void whileModal(const std::function<void()>& f, const std::function<void(QDialog*)>& dialog) {
  QTimer timer;
  bool done = false;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (done || !d || qobject_cast<QMessageBox*>(d)) return;
    done = true;
    dialog(d);
  });
  timer.start(10);
  f();
}

void leave(QWidget* control) {
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(control, &out);
}

TEST_F(OptionDialogTest, CheckNumberTakesCommaAndPercentAndRefusesTheRest) {
  QDialog dialog;
  QLineEdit edit(&dialog);
  struct Case {
    const char* typed;
    bool passes;
    const char* shown;
  };
  const Case cases[] = {
      {"1,5", true, "1.500000"},  {"50%", true, "50.00%"},  {"-2.25", true, "-2.250000"},
      {"7,5%", true, "7.50%"},    {"", false, ""},          {"abc", false, ""},
      {"%", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    edit.setText(c.typed);
    bool passed = true;
    QStringList boxes = answeringBoxes([&] { passed = checkNumber(&edit); });
    EXPECT_EQ(passed, c.passes);
    EXPECT_EQ(edit.text().toStdString(), c.shown);
    EXPECT_EQ(boxes, c.passes ? QStringList() : QStringList{msg(128)});
  }
}

TEST_F(OptionDialogTest, ACheckRunningMakesFurtherChecksPass) {
  // The box of a failed check moves the focus; the check that would start
  // through that passes at once and shows no second box.
  QDialog dialog;
  QLineEdit first(&dialog), second(&dialog);
  bool nested = false;
  QStringList boxes = answeringBoxes([&] { EXPECT_FALSE(checkNumber(&first)); },
                                     [&] { nested = checkNumber(&second) && checkLetters(&second, "XYZ"); });
  EXPECT_TRUE(nested);
  EXPECT_EQ(boxes.size(), 1);
}

TEST_F(OptionDialogTest, CheckLettersAndIntegerRange) {
  QDialog dialog;
  QComboBox combo(&dialog);
  combo.setEditable(true);
  const QString wrong = "String must be 3 chars long and must consist of chars 'XYZ'!";
  struct Case {
    const char* typed;
    bool passes;
  };
  for (const Case& c : {Case{"yxz", true}, Case{"XYZ", true}, Case{"xxy", true}, Case{"xy", false},
                        Case{"xya", false}, Case{"xyzx", false}, Case{"", false}}) {
    SCOPED_TRACE(c.typed);
    combo.setEditText(c.typed);
    bool passed = true;
    QStringList boxes = answeringBoxes([&] { passed = checkLetters(&combo, "XYZ"); });
    EXPECT_EQ(passed, c.passes);
    EXPECT_EQ(boxes, c.passes ? QStringList() : QStringList{wrong});
    // A passing text stays as typed; a failing one is cleared.
    EXPECT_EQ(combo.currentText().toStdString(), c.passes ? c.typed : "");
  }

  QLineEdit edit(&dialog);
  for (auto [typed, passes] : {std::pair{"10", true}, {"89", true}, {"9", false}, {"90", false}, {"x", false}}) {
    SCOPED_TRACE(typed);
    edit.setText(typed);
    bool passed = true;
    QStringList boxes = answeringBoxes([&] { passed = checkIntegerRange(&edit, 10, 89); });
    EXPECT_EQ(passed, passes);
    EXPECT_EQ(boxes, passes ? QStringList() : QStringList{"Numerical value between 10 and 89 expected!"});
  }
}

TEST_F(OptionDialogTest, StoreRoutinesWriteFieldAndValue) {
  QDialog dialog;
  QLineEdit edit(&dialog);
  double number = 0;
  for (auto [typed, value, text] : {std::tuple{"1,5", 1.5, "1.5000000000"}, {"50%", -50.0, "-50.0000000000"},
                                    {"12.5 m", 12.5, "12.5000000000"}}) {
    SCOPED_TRACE(typed);
    edit.setText(typed);
    EXPECT_TRUE(storeNumber(&edit, settingsKey(), "T_Number", number));
    EXPECT_EQ(number, value);
    EXPECT_EQ(stored("T_Number"), text);
  }
  edit.setText("none");
  number = 3;
  EXPECT_FALSE(storeNumber(&edit, settingsKey(), "T_Number", number));
  EXPECT_EQ(number, 3);
  EXPECT_EQ(stored("T_Number"), "12.5000000000");

  QCheckBox box(&dialog);
  box.setChecked(true);
  bool flag = false;
  EXPECT_TRUE(storeCheckBox(&box, settingsKey(), "T_Flag", flag));
  uint32_t dword = 7;
  settingsKey().readDword("T_Flag", dword, 0);
  EXPECT_TRUE(flag);
  EXPECT_EQ(dword, 1u);

  edit.setText(QString::fromUtf8("Höhe \u0416"));
  std::string textField;
  EXPECT_TRUE(storeText(&edit, settingsKey(), "T_Text", textField));
  EXPECT_EQ(textField, "Höhe \u0416");
  EXPECT_EQ(stored("T_Text"), "Höhe \u0416");
}

TEST_F(OptionDialogTest, GenericInputDialogChecksOnLeavingAndStoresOnOk) {
  XmlOptions record;
  GenericOptionsDialog dialog(record, kFormatXml, FormatDirection::Import, settingsKey());
  dialog.show();
  EXPECT_EQ(dialog.windowTitle().toStdString(), "XML Input Options");
  EXPECT_EQ(dialog.scaleEdit()->text().toStdString(), "1.000000");
  EXPECT_EQ(dialog.scaleEdit()->toolTip(), msg(289));
  EXPECT_EQ(dialog.swapBox()->text(), msg(280));
  EXPECT_EQ(dialog.swapOrderCombo()->lineEdit()->toolTip(), msg(290));
  EXPECT_EQ(dialog.alphaNumBox()->toolTip(), msg(291));
  EXPECT_EQ(dialog.okButton()->text(), msg(12));
  EXPECT_EQ(dialog.scaleEdit()->toolTipDuration(), 30000);
  EXPECT_EQ(dialog.scaleEdit()->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, dialog.scaleEdit()),
            1500);
  EXPECT_FALSE(dialog.swapOrderCombo()->isEnabled());

  dialog.scaleEdit()->setText("1,5");
  leave(dialog.scaleEdit());
  EXPECT_EQ(dialog.scaleEdit()->text().toStdString(), "1.500000");
  dialog.swapBox()->setChecked(true);
  EXPECT_TRUE(dialog.swapOrderCombo()->isEnabled());
  dialog.swapOrderCombo()->setEditText("yxz");
  leave(dialog.swapOrderCombo());
  dialog.alphaNumBox()->setChecked(true);
  EXPECT_TRUE(answeringBoxes([&] { dialog.okButton()->click(); }).isEmpty());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(stored("XML_In_ScaleFactor"), "1.5000000000");
  EXPECT_EQ(stored("XML_In_SwapFormat"), "yxz");
  EXPECT_EQ(record.inScaleFactor, 1.5);
  EXPECT_TRUE(record.inSwap);
  EXPECT_TRUE(record.inAlphaNumIds);
  uint32_t swap = 0, alpha = 0;
  settingsKey().readDword("XML_In_Swap", swap, 0);
  settingsKey().readDword("XML_In_PID_AlphaNum", alpha, 0);
  EXPECT_EQ(swap, 1u);
  EXPECT_EQ(alpha, 1u);
  // The output side was not touched.
  EXPECT_EQ(stored("XML_Out_ScaleFactor"), "<missing>");

  // Once the dialog has ended its fields are no longer checked on leaving.
  dialog.show();
  dialog.scaleEdit()->setText("abc");
  EXPECT_TRUE(answeringBoxes([&] { leave(dialog.scaleEdit()); }).isEmpty());
  EXPECT_EQ(dialog.scaleEdit()->text().toStdString(), "abc");
}

TEST_F(OptionDialogTest, MovingTheFocusOnChecksTheFieldLeft) {
  XmlOptions record;
  record.inSwap = true;
  GenericOptionsDialog dialog(record, kFormatXml, FormatDirection::Import, settingsKey());
  dialog.show();
  dialog.activateWindow();
  QApplication::processEvents();
  auto moveFocus = [](QWidget* to) {
    return answeringBoxes([&] {
      to->setFocus(Qt::TabFocusReason);
      QApplication::processEvents();
    });
  };
  moveFocus(dialog.scaleEdit());
  dialog.scaleEdit()->setText("2,75");
  EXPECT_TRUE(moveFocus(dialog.swapOrderCombo()).isEmpty());
  EXPECT_EQ(dialog.scaleEdit()->text().toStdString(), "2.750000");
  ASSERT_TRUE(dialog.swapOrderCombo()->hasFocus());

  dialog.swapOrderCombo()->setEditText("ab");
  QStringList boxes = moveFocus(dialog.scaleEdit());
  ASSERT_EQ(boxes.size(), 1);
  EXPECT_TRUE(boxes[0].startsWith("String must be 3 chars long"));
  EXPECT_TRUE(dialog.swapOrderCombo()->currentText().isEmpty());
  dialog.reject();
}

TEST_F(OptionDialogTest, FailedChecksKeepTheDialogOpenAndStoreNothing) {
  XmlOptions record;
  GenericOptionsDialog dialog(record, kFormatXml, FormatDirection::Import, settingsKey());
  dialog.show();
  dialog.scaleEdit()->clear();
  QStringList boxes = answeringBoxes([&] { dialog.okButton()->click(); });
  EXPECT_EQ(boxes, QStringList{msg(128)});
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_NE(dialog.result(), QDialog::Accepted);
  // Scale passes, the swap order fails even with the swap box off.
  dialog.scaleEdit()->setText("2");
  dialog.swapOrderCombo()->setEditText("xy");
  boxes = answeringBoxes([&] { dialog.okButton()->click(); });
  ASSERT_EQ(boxes.size(), 1);
  EXPECT_TRUE(boxes[0].startsWith("String must be 3 chars long"));
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(stored("XML_In_ScaleFactor"), "<missing>");
  dialog.reject();
}

TEST_F(OptionDialogTest, GenericOutputDialogPercentAndDisabledSwapOrderStored) {
  GsiOptions record;
  record.outSwap = true;
  record.outSwapOrder = "ZYX";
  GenericOptionsDialog dialog(record, kFormatGsi, FormatDirection::Export, settingsKey());
  dialog.show();
  EXPECT_EQ(dialog.windowTitle().toStdString(), "GSI Output Options");
  EXPECT_EQ(dialog.alphaNumBox(), nullptr);
  EXPECT_TRUE(dialog.findChildren<QCheckBox*>().size() == 1);
  EXPECT_EQ(dialog.swapOrderCombo()->currentText().toStdString(), "ZYX");
  EXPECT_TRUE(dialog.swapOrderCombo()->isEnabled());

  dialog.scaleEdit()->setText("50%");
  leave(dialog.scaleEdit());
  EXPECT_EQ(dialog.scaleEdit()->text().toStdString(), "50.00%");
  dialog.swapOrderCombo()->setEditText("YXZ");
  dialog.swapBox()->setChecked(false);
  EXPECT_FALSE(dialog.swapOrderCombo()->isEnabled());
  ASSERT_TRUE(dialog.form().accept());
  EXPECT_EQ(stored("GSI_Out_ScaleFactor"), "-50.0000000000");
  EXPECT_EQ(record.outScaleFactor, -50.0);
  EXPECT_EQ(stored("GSI_Out_SwapFormat"), "YXZ");
  uint32_t swap = 9;
  settingsKey().readDword("GSI_Out_Swap", swap, 9);
  EXPECT_EQ(swap, 0u);
}

TEST_F(OptionDialogTest, AlphanumericIdsNotOfferedAreDisabledAndNotStored) {
  XsltOptions record;
  record.alphaNumIdsNotOffered = true;
  GenericOptionsDialog dialog(record, kFormatXslt, FormatDirection::Import, settingsKey());
  // Plug-ins share one record: no name in the caption, the values "XSLT_...".
  EXPECT_EQ(dialog.windowTitle().toStdString(), "Input Options");
  ASSERT_NE(dialog.alphaNumBox(), nullptr);
  EXPECT_FALSE(dialog.alphaNumBox()->isEnabled());
  ASSERT_TRUE(dialog.form().accept());
  EXPECT_EQ(stored("XSLT_In_ScaleFactor"), "1.0000000000");
  EXPECT_EQ(stored("XSLT_In_PID_AlphaNum"), "<missing>");
}

TEST_F(OptionDialogTest, FormStoresEveryKindAndTheLoaderReadsItBack) {
  // A format dialog as the form builds it: texts given where the record
  // declares none, a combo of fixed entries, a range-checked integer, a
  // signed height with its percent, a character and a text.
  DxfOptions record;
  QDialog dialog;
  OptionForm form(dialog, record);
  form.beginGroup(146);
  auto* approx = qobject_cast<QLineEdit*>(form.add(&record.approx, {147, 0}));
  auto* method = form.addCombo(&record.cpMethod, {msg(150), msg(151), msg(152)}, {}, false, {149, 0});
  form.endGroup();
  form.nextColumn();
  form.beginGroup(158);
  auto* blocks = qobject_cast<QCheckBox*>(form.add(&record.pidImport, {159, 0}));
  QLineEdit* line = form.addInteger(&record.pidLineNumber, 1, 999, {153, 0});
  auto* layer = qobject_cast<QLineEdit*>(form.add(&record.pidImportLayer, {143, 0}));
  auto* height = qobject_cast<QLineEdit*>(form.add(&record.coord.height));
  form.endGroup();
  QPushButton* ok = form.addOkButton(true);
  ASSERT_TRUE(approx && method && blocks && line && layer && height && ok);
  EXPECT_EQ(blocks->text(), msg(159));
  EXPECT_EQ(form.valueName(&record.pidLineNumber), "DXF_PID_LineNumber");
  EXPECT_EQ(form.add(&record.keyPrefix), nullptr) << "not a declared field";
  EXPECT_EQ(method->currentIndex(), kCentrePointsByFactor);

  approx->setText("0,25");
  method->setCurrentIndex(kCentrePointsAll);
  blocks->setChecked(true);
  layer->setText("PUNKTNR");
  height->setText("3%");
  line->setText("1000");
  bool extra = false;
  form.addCheck([&] { return extra; });
  QStringList boxes = answeringBoxes([&] { ok->click(); });
  EXPECT_EQ(boxes, QStringList{"Numerical value between 1 and 999 expected!"});
  line->setText("12");
  EXPECT_FALSE(form.accept()) << "the extra check fails";
  EXPECT_EQ(stored("DXF_Approx"), "<missing>");
  extra = true;
  ASSERT_TRUE(form.accept());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);

  DxfOptions loaded;
  loaded.load(settingsKey(), true);
  EXPECT_EQ(loaded.approx, 0.25);
  EXPECT_EQ(loaded.cpMethod, kCentrePointsAll);
  EXPECT_TRUE(loaded.pidImport);
  EXPECT_EQ(loaded.pidLineNumber, 12);
  EXPECT_EQ(loaded.pidImportLayer, "PUNKTNR");
  EXPECT_EQ(loaded.coord.height, 3.0);
  EXPECT_TRUE(loaded.coord.relative);
  EXPECT_EQ(stored("DXF_CoordHeight"), "-3.0000000000");

  // A relative height shows as a percentage; a character field its byte.
  DxfOptions shown;
  shown.coord.height = 2.5;
  shown.coord.relative = true;
  CsvOptions csv;
  csv.inDelimiter = ',';
  QDialog other;
  OptionForm second(other, shown);
  EXPECT_EQ(qobject_cast<QLineEdit*>(second.add(&shown.coord.height))->text().toStdString(), "2.50%");
  QDialog third;
  OptionForm table(third, csv);
  auto* delimiter = qobject_cast<QLineEdit*>(table.add(&csv.inDelimiter, {0, 0}));
  ASSERT_NE(delimiter, nullptr);
  EXPECT_EQ(delimiter->text().toStdString(), ",");
  delimiter->setText(";");
  ASSERT_TRUE(table.accept());
  EXPECT_EQ(csv.inDelimiter, ';');
  EXPECT_EQ(stored("CSV_In_Delimiter"), ";");
}

TEST_F(OptionDialogTest, OkKeepsTheDialogOpenWhenTheSettingsStoreRefusesAValue) {
  // A key opened for reading only refuses every write: OK must say so and
  // not close as if the values were kept.
  SettingsKey readOnly;
  ASSERT_TRUE(readOnly.open(kProgramKeyPath));
  CsvOptions csv;
  QDialog dialog;
  OptionForm form(dialog, csv, readOnly);
  auto* delimiter = qobject_cast<QLineEdit*>(form.add(&csv.inDelimiter, {0, 0}));
  QPushButton* ok = form.addOkButton(true);
  ASSERT_TRUE(delimiter && ok);
  delimiter->setText(";");
  EXPECT_EQ(answeringBoxes([&] { ok->click(); }), QStringList{msg(34)});
  EXPECT_NE(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(stored("CSV_In_Delimiter"), "<missing>");
}

TEST_F(OptionDialogTest, DispatchOpensNothingWhereNoDialogIsOffered) {
  struct Case {
    FormatType type;
    FormatDirection direction;
  };
  for (const Case& c : {Case{kFormatSvg, FormatDirection::Export}, Case{kFormatSvg, FormatDirection::Import},
                        Case{kFormatDat, FormatDirection::Import}, Case{kFormatEsri, FormatDirection::Export},
                        Case{kFormatAll, FormatDirection::Import}, Case{99, FormatDirection::Export}}) {
    SCOPED_TRACE(c.type);
    bool opened = false;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
      if (QWidget* w = QApplication::activeModalWidget()) {
        opened = true;
        w->close();
      }
    });
    timer.start(10);
    EXPECT_EQ(openOptionDialog(nullptr, c.type, c.direction), DialogResult::NotOffered);
    QApplication::processEvents();
    EXPECT_FALSE(opened);
  }
}

TEST_F(OptionDialogTest, DispatchReloadsWhereTheTableSaysAndCancelStoresNothing) {
  settingsKey().writeString("XML_In_ScaleFactor", "2.5000000000");
  settingsKey().writeString("DAT_Out_ScaleFactor", "4.0000000000");
  formatOptions().dat.outScaleFactor = 3;
  QString xmlShown, datShown;
  DialogResult xml = DialogResult::Accepted;
  whileModal([&] { xml = openOptionDialog(nullptr, kFormatXml, FormatDirection::Import); },
             [&](QDialog* d) {
               auto* g = qobject_cast<GenericOptionsDialog*>(d);
               xmlShown = g->scaleEdit()->text();
               g->scaleEdit()->setText("9");
               g->reject();
             });
  EXPECT_EQ(xml, DialogResult::Cancelled);
  EXPECT_EQ(xmlShown, "2.500000");
  EXPECT_EQ(stored("XML_In_ScaleFactor"), "2.5000000000");
  // DAT output keeps the record as the program holds it.
  whileModal([&] { openOptionDialog(nullptr, kFormatDat, FormatDirection::Export); },
             [&](QDialog* d) {
               datShown = qobject_cast<GenericOptionsDialog*>(d)->scaleEdit()->text();
               d->reject();
             });
  EXPECT_EQ(datShown, "3.000000");
  EXPECT_EQ(stored("DAT_Out_ScaleFactor"), "4.0000000000");
}

TEST_F(OptionDialogTest, SecondGenericDialogIsRefusedWhileOneIsOpen) {
  DialogResult inner = DialogResult::Accepted, outer = DialogResult::Accepted;
  bool openInside = false;
  whileModal([&] { outer = openOptionDialog(nullptr, kFormatXml, FormatDirection::Import); },
             [&](QDialog* d) {
               openInside = genericDialogOpen();
               inner = openOptionDialog(nullptr, kFormatReb, FormatDirection::Import);
               d->reject();
             });
  EXPECT_TRUE(openInside);
  EXPECT_EQ(inner, DialogResult::Refused);
  EXPECT_EQ(outer, DialogResult::Cancelled);
  EXPECT_FALSE(genericDialogOpen());
}

TEST_F(OptionDialogTest, MainDialogOptionsButtonsOpenTheSelectedFormat) {
  MainDialog main(VLTRX_EXE);
  EXPECT_TRUE(main.inputOptionsButton()->isEnabled());
  EXPECT_EQ(main.inputOptionsButton()->toolTip(), msg(326));
  EXPECT_EQ(main.outputOptionsButton()->toolTip(), msg(327));
  ASSERT_TRUE(main.selectExport("xml_out"));
  QString caption;
  whileModal([&] { main.outputOptionsButton()->click(); },
             [&](QDialog* d) {
               caption = d->windowTitle();
               d->reject();
             });
  EXPECT_EQ(caption, "XML Output Options");
  // A plug-in entry opens the generic dialog of the shared XSLT record.
  const FileFormat* plugin = nullptr;
  for (const FileFormat& f : importFormats())
    if (f.type == kFormatXslt) plugin = &f;
  ASSERT_NE(plugin, nullptr);
  ASSERT_TRUE(main.selectImport(plugin->id));
  DialogResult result = DialogResult::NotOffered;
  whileModal([&] { result = main.openOptions(FormatDirection::Import); },
             [&](QDialog* d) {
               caption = d->windowTitle();
               qobject_cast<GenericOptionsDialog*>(d)->form().accept();
             });
  EXPECT_EQ(result, DialogResult::Accepted);
  EXPECT_EQ(caption, "Input Options");
  EXPECT_EQ(stored("XSLT_In_ScaleFactor"), "1.0000000000");
}

TEST_F(OptionDialogTest, StoredOutputScaleReachesARealConversion) {
  // vltrx-gui -opt:xml_out, in this process: only that dialog, exit 0 on OK.
  int code = -1;
  whileModal([&] { code = runOptionDialogCommand({"vltrx-gui", "-opt:xml_out", "-lang:en"}); },
             [&](QDialog* d) {
               auto* g = qobject_cast<GenericOptionsDialog*>(d);
               g->scaleEdit()->setText("2,5");
               g->swapBox()->setChecked(true);
               g->swapOrderCombo()->setEditText("YXZ");
               g->okButton()->click();
             });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(stored("XML_Out_ScaleFactor"), "2.5000000000");

  fs::path in = test::workPath(m_settings.root(), "plan.csv"), out = test::workPath(m_settings.root(), "plan.xml");
  test::spit(in, "1;10.5;20.25;30.125\r\n");
  test::Result r = test::runProgram(m_settings.root(), {in.string(), out.string(), "-in:csv", "-out:xml"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::string xml = test::slurp(out);
  // Scaled by 2.5 and x and y exchanged.
  EXPECT_NE(xml.find("x=\"50.6250\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("y=\"26.2500\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("z=\"75.3125\""), std::string::npos) << xml;
}

TEST_F(OptionDialogTest, OptSwitchListsWithoutDisplayAndHandsOverWithOne) {
  std::map<std::string, std::string> noDisplay = {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}};
  test::Result list = test::runProgram(m_settings.root(), {"-opt:xml_out"}, test::RunOptions().setting(noDisplay));
  EXPECT_EQ(list.status, 0) << list.err;
  EXPECT_NE(list.out.find("XML_Out_ScaleFactor"), std::string::npos) << list.out;
  // With a display the graphical program takes -opt: over; for SVG output
  // it opens nothing and ends at once, and nothing is listed.
  std::map<std::string, std::string> offscreen = {{"DISPLAY", ""}, {"QT_QPA_PLATFORM", "offscreen"}};
  test::Result shown = test::runProgram(m_settings.root(), {"-opt:svg_out"}, test::RunOptions().setting(offscreen));
  EXPECT_EQ(shown.status, 0) << shown.err;
  EXPECT_EQ(shown.out.find("svg_out"), std::string::npos) << shown.out;
  test::Result listed = test::runProgram(m_settings.root(), {"-opt:svg_out"}, test::RunOptions().setting(noDisplay));
  EXPECT_NE(listed.out.find("svg_out"), std::string::npos) << listed.out;
  // An unknown format fails before anything is started.
  test::Result bad = test::runProgram(m_settings.root(), {"-opt:nosuch"}, test::RunOptions().setting(offscreen));
  EXPECT_EQ(bad.status, -2115 & 0xFF);
}

TEST_F(OptionDialogTest, GenericDialogsFitInEveryLanguage) {
  const char* shots = std::getenv("VLTRX_SCREENSHOT_DIR");
  test::Sandbox box;
  fs::path folder = shots && *shots ? fs::path(shots) : box.root();
  const char* codes[] = {"de", "en", "fr", "it", "es", "ru"};
  for (size_t i = 0; i < std::size(test::kLanguages); ++i) {
    SCOPED_TRACE(codes[i]);
    setLanguage(test::kLanguages[i]);
    for (FormatDirection direction : {FormatDirection::Import, FormatDirection::Export}) {
      XmlOptions record;
      GenericOptionsDialog dialog(record, kFormatXml, direction, settingsKey());
      dialog.show();
      QApplication::processEvents();
      for (QWidget* w : dialog.findChildren<QWidget*>()) {
        if (!w->isVisible()) continue;
        if (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w)) {
          EXPECT_GE(w->width(), w->sizeHint().width()) << w->metaObject()->className();
        }
      }
      EXPECT_GE(dialog.width(), dialog.sizeHint().width());
      std::string side = direction == FormatDirection::Import ? "in" : "out";
      fs::path png = folder / ("gui-options-" + side + "-" + codes[i] + ".png");
      EXPECT_TRUE(dialog.grab().save(QString::fromStdString(png.string()), "PNG"));
      dialog.reject();
    }
  }
  setLanguage(Language::En);
}

}  // namespace
}  // namespace vltrx::gui
