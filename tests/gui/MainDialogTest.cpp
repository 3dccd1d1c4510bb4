// The main dialog and the Qt dialogs of the ui interface, on Qt's offscreen
// platform: format lists, stored selections, folder mode, drops, settings
// written back, a conversion through the real programs, the boxes answered
// from the conversion thread, and screenshots in every language.
#include "core/MessageTable.h"
#include "core/PointNumberer.h"
#include "framework/FormatTable.h"
#include "framework/SettingsKey.h"
#include "gui/MainDialog.h"
#include "gui/QtUi.h"
#include "tests/gui/GuiSuite.h"
#include "tests/support/Languages.h"
#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <fstream>
#include <thread>

namespace vltrx::gui {
namespace {

namespace fs = std::filesystem;

void spit(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string stored(const char* name) {
  std::string v;
  settingsKey().readString(name, v, "");
  return v;
}

using GuiTest = test::GuiSuite;

/// Runs f on a worker thread, as the conversion runs, while this thread
/// serves the dialogs and clicks the button labelled answer in each box.
/// A check box labelled check is ticked first.
void runOffGuiThread(const std::function<void()>& f, const QString& answer, int* boxes = nullptr,
                     const QString& check = QString()) {
  std::atomic<bool> done = false;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    QWidget* box = QApplication::activeModalWidget();
    if (!box) return;
    for (QCheckBox* c : box->findChildren<QCheckBox*>())
      if (c->text() == check) c->setChecked(true);
    for (QPushButton* b : box->findChildren<QPushButton*>())
      if (b->text().remove('&') == answer) {
        if (boxes) ++*boxes;
        b->click();
        return;
      }
  });
  timer.start(20);
  std::thread worker([&] {
    f();
    done = true;
  });
  while (!done) QApplication::processEvents(QEventLoop::AllEvents, 20);
  worker.join();
}

TEST_F(GuiTest, CombosListVisibleEntriesInOrderWithPluginMark) {
  MainDialog dialog(VLTRX_EXE);
  struct Side {
    QComboBox* combo;
    const FormatList& list;
  };
  for (const Side& s : {Side{dialog.importCombo(), importFormats()}, Side{dialog.exportCombo(), exportFormats()}}) {
    QStringList expected;
    bool plugin = false;
    for (const FileFormat& f : s.list) {
      if (f.hidden) continue;
      expected << QString::fromStdString(f.description);
      if (f.type == kFormatXslt) {
        plugin = true;
        EXPECT_TRUE(expected.back().endsWith(QString::fromUtf8(" \u00b9"))) << f.description;
      }
    }
    QStringList shown;
    for (int i = 0; i < s.combo->count(); ++i) shown << s.combo->itemText(i);
    EXPECT_EQ(shown, expected);
    EXPECT_TRUE(plugin) << "the shipped plug-ins are listed";
  }
}

TEST_F(GuiTest, StoredFormatIdsSelectEntriesAndUnknownOnesTheFirst) {
  settingsKey().writeString("InFileType", "csv_in");
  settingsKey().writeString("OutFileType", "dxf_out");
  {
    MainDialog dialog(VLTRX_EXE);
    ASSERT_NE(dialog.importSelection(), nullptr);
    EXPECT_EQ(dialog.importSelection()->id, "csv_in");
    EXPECT_EQ(dialog.exportSelection()->id, "dxf_out");
  }
  settingsKey().writeString("InFileType", "removedplugin_in");
  settingsKey().deleteValue("OutFileType");
  MainDialog dialog(VLTRX_EXE);
  EXPECT_EQ(dialog.importCombo()->currentIndex(), 0);
  EXPECT_EQ(dialog.exportCombo()->currentIndex(), 0);
}

TEST_F(GuiTest, FolderModeShowsFilterAndRequestFollowsFields) {
  MainDialog dialog(VLTRX_EXE);
  dialog.show();
  EXPECT_FALSE(dialog.filterEdit()->isVisible());
  EXPECT_EQ(dialog.outputPathCombo()->currentText().toStdString(), text(318));
  BatchRequest r = dialog.request();
  EXPECT_TRUE(r.outputIsPlaceholder);

  dialog.setFolderMode(true);
  EXPECT_TRUE(dialog.filterEdit()->isVisible());
  ASSERT_TRUE(dialog.selectImport("csv_in"));
  ASSERT_TRUE(dialog.selectExport("xml_out"));
  dialog.inputPathEdit()->setText("/data/in");
  dialog.filterEdit()->setText("plan*.csv");
  dialog.outputPathCombo()->setCurrentText("/data/out/");
  r = dialog.request();
  EXPECT_TRUE(r.folderMode);
  EXPECT_EQ(r.inputPath, "/data/in");
  EXPECT_EQ(r.inputFilter, "plan*.csv");
  EXPECT_FALSE(r.outputIsPlaceholder);
  EXPECT_EQ(r.outputPath, "/data/out/");
  EXPECT_EQ(r.inputExtension, "csv");
  EXPECT_EQ(r.outputExtension, "xml");
}

TEST_F(GuiTest, DropsTakeFirstItemBySideAndSelectItsFormat) {
  test::Sandbox box;
  fs::path csv = box.root() / "site" / "plan.csv", dxf = box.root() / "site" / "other.dxf";
  spit(csv, "1;1.5;2.5;3.5\r\n");
  spit(dxf, "0\nEOF\n");
  fs::create_directories(box.root() / "target");
  settingsKey().writeString("InFileType", "xml_in");
  MainDialog dialog(VLTRX_EXE);
  dialog.show();

  auto drop = [&](const std::vector<fs::path>& paths, QWidget* at) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const fs::path& p : paths) urls << QUrl::fromLocalFile(QString::fromStdString(p.string()));
    mime.setUrls(urls);
    QPoint pos = at->mapTo(&dialog, at->rect().center());
    QDropEvent event(QPointF(pos), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    // QApplication delivers a drop only inside a running drag; the dialog's
    // own event handler takes the synthesized one as the drag would.
    static_cast<QObject&>(dialog).event(&event);
  };
  // On the input group: the first of two items, its format selected.
  drop({csv, dxf}, dialog.inputPathEdit());
  EXPECT_EQ(dialog.inputPathEdit()->text().toStdString(), csv.string());
  EXPECT_EQ(dialog.importSelection()->id, "csv_in");
  EXPECT_FALSE(dialog.folderMode());
  EXPECT_EQ(stored("SelectedInputFolder"), (box.root() / "site").string());
  // On the output group: a file selects the export format, a folder gets "/".
  drop({dxf}, dialog.outputPathCombo());
  EXPECT_EQ(dialog.outputPathCombo()->currentText().toStdString(), dxf.string());
  EXPECT_EQ(dialog.exportSelection()->id, "dxf_out");
  drop({box.root() / "target"}, dialog.outputPathCombo());
  EXPECT_EQ(dialog.outputPathCombo()->currentText().toStdString(), (box.root() / "target").string() + "/");
  // A folder on the input side turns folder mode on and clears the filter.
  dialog.filterEdit()->setText("*.x");
  drop({box.root() / "site"}, dialog.inputPathEdit());
  EXPECT_TRUE(dialog.folderMode());
  EXPECT_EQ(dialog.inputPathEdit()->text().toStdString(), (box.root() / "site").string());
  EXPECT_TRUE(dialog.filterEdit()->text().isEmpty());
}

TEST_F(GuiTest, ConvertRunsTheProgramWithQtChildrenAndStoresSelection) {
  test::Sandbox box;
  fs::path in = box.root() / "plan.csv";
  spit(in, "1;10.5;20.25;30.125\r\n2;11.5;21.25;31.125\r\n");
  std::vector<std::vector<std::string>> seen;
  // The real child, with its own boxes as Qt dialogs, as the program runs it.
  setenv("VLTRX_UI", "qt", 1);
  MainDialog dialog(VLTRX_EXE, [&](const std::vector<std::string>& argv) {
    seen.push_back(argv);
    return runChild(argv);
  });
  ASSERT_TRUE(dialog.selectImport("csv_in"));
  ASSERT_TRUE(dialog.selectExport("xml_out"));
  dialog.inputPathEdit()->setText(QString::fromStdString(in.string()));
  auto [done, files] = dialog.convertBatch();
  unsetenv("VLTRX_UI");
  EXPECT_EQ(done, 1);
  EXPECT_EQ(files, 1);
  ASSERT_EQ(seen.size(), 1u);
  std::vector<std::string> expected = {VLTRX_EXE, in.string(), (box.root() / "plan.xml").string(), "-in:csv",
                                       "-out:xml"};
  EXPECT_EQ(seen[0], expected);
  EXPECT_NE(slurp(box.root() / "plan.xml").find("x=\"10.5000\""), std::string::npos);
  EXPECT_EQ(stored("InFileType"), "csv_in");
  EXPECT_EQ(stored("OutFileType"), "xml_out");
  EXPECT_EQ(convertedText(3, 5), "3 of 5 file(s) converted");
}

TEST_F(GuiTest, QtBoxesAnswerTheConversionThread) {
  QtUi ui;
  bool overwrite = false;
  int boxes = 0;
  runOffGuiThread([&] { overwrite = ui.askOverwrite("/tmp/x.csv"); }, "Yes", &boxes);
  EXPECT_TRUE(overwrite);
  EXPECT_EQ(boxes, 1);
  runOffGuiThread([&] { overwrite = ui.askOverwrite("/tmp/x.csv"); }, "No");
  EXPECT_FALSE(overwrite);

  // OK in the warning dialog goes on; Cancel ends the run with code 1.
  bool wentOn = false;
  runOffGuiThread([&] { ui.warningDialog(105, "No fractions"); wentOn = true; }, QString::fromStdString(text(12)));
  EXPECT_TRUE(wentOn);
  int exitCode = 0;
  runOffGuiThread(
      [&] {
        try {
          ui.warningDialog(105, "No fractions");
        } catch (const ExitRequest& r) {
          exitCode = r.code;
        }
      },
      QString::fromStdString(text(13)));
  EXPECT_EQ(exitCode, 1);

  // The renumbering prompt: its check boxes become the answer bits; Cancel
  // ends the run with -2137.
  unsigned bits = 0;
  runOffGuiThread([&] { bits = ui.renumberPrompt("Point 7a renumbered", true, kRenumberIdAsComment); },
                  QString::fromStdString(text(12)), nullptr, QString::fromStdString(text(8)));
  EXPECT_EQ(bits, kRenumberDontAsk | kRenumberIdAsComment);
  exitCode = 0;
  runOffGuiThread(
      [&] {
        try {
          ui.renumberPrompt("Point 7a renumbered", false, 0);
        } catch (const ExitRequest& r) {
          exitCode = r.code;
        }
      },
      QString::fromStdString(text(13)));
  EXPECT_EQ(exitCode, -2137);

  // Quiet: no box at all.
  ui.setQuiet(true);
  boxes = 0;
  runOffGuiThread([&] { ui.warningDialog(105, "No fractions"); }, "OK", &boxes);
  EXPECT_EQ(boxes, 0);
}

TEST_F(GuiTest, ProgressWindowFromConversionThread) {
  QtUi ui;
  runOffGuiThread(
      [&] {
        ui.openProgress();
        ui.setStatus("Reading plan.csv ...");
        ui.resetProgress();
        ui.beginPhase(100, 4);
        std::this_thread::sleep_for(std::chrono::milliseconds(120));
        ui.update(2);
        ui.enableCancel(false);
      },
      "");
  ASSERT_NE(ui.progressWindow(), nullptr);
  EXPECT_EQ(ui.progressWindow()->findChild<QLabel*>("status")->text(), "Reading plan.csv ...");
  EXPECT_EQ(ui.barPosition(), 50);
  EXPECT_FALSE(ui.progressWindow()->findChild<QPushButton*>("cancel")->isEnabled());
  // Esc while Cancel is disabled leaves the window (and the run) alone.
  ui.progressWindow()->reject();
  EXPECT_TRUE(ui.progressWindow()->isVisible());
  EXPECT_EQ(ui.progressWindow()->windowTitle().toStdString(), text(15));
  runOffGuiThread([&] { ui.closeProgress(); }, "");
  EXPECT_EQ(ui.progressWindow(), nullptr);
}

TEST_F(GuiTest, EveryLanguageFitsAndIsCaptured) {
  const char* shots = std::getenv("VLTRX_SCREENSHOT_DIR");
  test::Sandbox box;
  fs::path folder = shots && *shots ? fs::path(shots) : box.root();
  const char* codes[] = {"de", "en", "fr", "it", "es", "ru"};
  for (size_t i = 0; i < std::size(test::kLanguages); ++i) {
    Language lang = test::kLanguages[i];
    SCOPED_TRACE(codes[i]);
    setLanguage(lang);
    buildFormatList(FormatDirection::Import);
    buildFormatList(FormatDirection::Export);
    MainDialog dialog(VLTRX_EXE);
    dialog.setFolderMode(i % 2 == 0);
    dialog.show();
    QApplication::processEvents();
    EXPECT_EQ(dialog.windowTitle().toStdString(), text(0, lang));
    for (QWidget* w : dialog.findChildren<QWidget*>()) {
      if (!w->isVisible()) continue;
      if (qobject_cast<QLabel*>(w) || qobject_cast<QPushButton*>(w)) {
        EXPECT_GE(w->width(), w->sizeHint().width()) << w->metaObject()->className() << " "
                                                    << (qobject_cast<QLabel*>(w)
                                                            ? qobject_cast<QLabel*>(w)->text().toStdString()
                                                            : qobject_cast<QPushButton*>(w)->text().toStdString());
      }
    }
    fs::path png = folder / ("gui-main-" + std::string(codes[i]) + ".png");
    EXPECT_TRUE(dialog.grab().save(QString::fromStdString(png.string()), "PNG"));
    EXPECT_GT(fs::file_size(png), 1000u);
  }
  setLanguage(Language::En);
  buildFormatList(FormatDirection::Import);
  buildFormatList(FormatDirection::Export);
}

}  // namespace
}  // namespace vltrx::gui
