// The update check's dialogs against the reference service on 127.0.0.1:
// the notification and its answer, the progress list of the menu command,
// the silent check when the main dialog opens, and a service that never
// answers while the dialog stays usable.
#include "core/CError.h"
#include "core/MessageTable.h"
#include "framework/SettingsKey.h"
#include "gui/MainDialog.h"
#include "gui/UpdateDialogs.h"
#include "tests/gui/GuiSuite.h"
#include "tests/support/Sandbox.h"
#include "tests/support/UpdateService.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace vltrx::gui {
namespace {

using namespace std::chrono_literals;
using update::UpdateLanguage;
using update::UpdateText;

// Calls f with the active modal window every 20 ms, nested event loops
// (a dialog's exec) included.
class ModalWatcher {
 public:
  explicit ModalWatcher(std::function<void(QWidget*)> f) {
    QObject::connect(&m_timer, &QTimer::timeout, [f] {
      if (QWidget* w = QApplication::activeModalWidget()) f(w);
    });
    m_timer.start(20);
  }

 private:
  QTimer m_timer;
};

// Serves events until done() holds or the time is up; false on time-out.
bool serveUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
  auto until = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// What a watcher saw of the boxes it answered.
struct SeenBox {
  QString title, text, check, yes, no;
};

class UpdateGuiTest : public test::GuiSuite {
 protected:

  void useService(const std::string& url, uint32_t timeoutSeconds = 0) {
    SettingsKey maker;
    ASSERT_TRUE(maker.create(kMakerKeyPath));
    ASSERT_TRUE(maker.writeString("UpdateServiceUrl", url));
    ASSERT_TRUE(maker.writeString("UpdateDownloadUrl", "http://127.0.0.1:1/download"));
    if (timeoutSeconds) {
      ASSERT_TRUE(maker.writeDword("UpdateTimeout", timeoutSeconds));
    }
  }

  static uint32_t disabledVersion() {
    uint32_t v = 99;
    SettingsKey key;
    key.open(kProgramKeyPath);
    key.readDword("DisableVltrxUpdateVersion", v, 99);
    return v;
  }

  test::Sandbox m_box;
};

update::ProgramEntry vltrxEntry(const char* language) {
  return {std::string(kProgramKeyPath), "vltrx", language, 3400, "vltrx", 0};
}

// The menu command against a service that announces 3.500: the list shows
// the progress lines, the notification its texts in the program's
// language, and the answer reaches the settings and the browser.
TEST_F(UpdateGuiTest, MenuCheckOffersNewerVersionAndPassesTheAnswerBack) {
  test::ReferenceService service(m_box.root(), {"--program", "vltrx=3500"});
  ASSERT_GT(service.port(), 0);
  useService(service.url());
  const std::string page = "http://127.0.0.1:1/download?lang=%s&curver=3400&newver=3500&prog=vltrx";
  struct Case {
    const char* language;
    bool yes, tick, browserStarts;
  } cases[] = {{"en", true, false, true}, {"de", false, true, true}, {"en", true, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.language) + (c.yes ? " yes" : " no") + (c.tick ? " ticked" : "") +
                 (c.browserStarts ? "" : " no browser"));
    UpdateLanguage lang = update::languageFromCode(c.language);
    update::UpdateChecker checker;
    ASSERT_TRUE(checker.registerProgram(vltrxEntry(c.language)));
    std::vector<std::string> opened;
    PageOpener opener = [&](const std::string& url, std::string* error) {
      opened.push_back(url);
      if (!c.browserStarts) *error = "xdg-open: No such file or directory";
      return c.browserStarts;
    };
    std::vector<SeenBox> offers, errors;
    QStringList lines;
    QString title;
    ModalWatcher watcher([&](QWidget* w) {
      if (auto* box = qobject_cast<QMessageBox*>(w); box && box->checkBox()) {
        auto* offer = static_cast<UpdateOfferBox*>(box);
        offers.push_back({box->windowTitle(), box->text(), box->checkBox()->text(), offer->yesButton()->text(),
                          offer->noButton()->text()});
        box->checkBox()->setChecked(c.tick);
        (c.yes ? offer->yesButton() : offer->noButton())->click();
      } else if (box) {
        errors.push_back({box->windowTitle(), box->text(), {}, {}, {}});
        box->buttons().first()->click();
      } else if (auto* progress = qobject_cast<UpdateProgressDialog*>(w); progress && progress->checkFinished()) {
        title = progress->windowTitle();
        for (int i = 0; i < progress->list()->count(); ++i) lines << progress->list()->item(i)->text();
        progress->close();
      }
    });
    runUpdateCheckWithProgress(nullptr, &checker, opener);

    EXPECT_EQ(title.toStdString(), update::updateText(UpdateText::ProgressTitle, lang));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].toStdString(), update::formatText(update::updateText(UpdateText::ProgressLine, lang), "vltrx"));
    EXPECT_EQ(lines[1].toStdString(),
              update::formatText(update::updateText(UpdateText::NewVersion, lang), "", 3500));
    ASSERT_EQ(offers.size(), 1u);
    EXPECT_EQ(offers[0].title.toStdString(),
              update::formatText(update::updateText(UpdateText::OfferTitle, lang), "vltrx"));
    EXPECT_TRUE(offers[0].text.contains("V3.500 ")) << offers[0].text.toStdString();
    EXPECT_EQ(offers[0].check.toStdString(), update::updateText(UpdateText::DontRemind, lang));
    EXPECT_EQ(offers[0].yes.toStdString(), update::updateText(UpdateText::Yes, lang));
    EXPECT_EQ(offers[0].no.toStdString(), update::updateText(UpdateText::No, lang));
    EXPECT_EQ(disabledVersion(), c.tick ? 3500u : 0u);
    std::string expectedPage = page;
    expectedPage.replace(expectedPage.find("%s"), 2, c.language);
    EXPECT_EQ(opened, c.yes ? std::vector<std::string>{expectedPage} : std::vector<std::string>{});
    // A browser that cannot start is said so, with the address to visit by hand.
    ASSERT_EQ(errors.size(), c.browserStarts ? 0u : 1u);
    if (!errors.empty()) {
      EXPECT_TRUE(errors[0].text.startsWith(QString::fromStdString(replaceFirstS(text(123), "xdg-open"))))
          << errors[0].text.toStdString();
      EXPECT_TRUE(errors[0].text.contains(QString::fromStdString(expectedPage)));
      EXPECT_TRUE(errors[0].text.contains("No such file or directory"));
    }
  }
  // Texts checked once literally, in English.
  EXPECT_EQ(update::updateText(UpdateText::Yes, UpdateLanguage::En), "&Yes");
}

// The silent check: nothing when up to date, the notification when newer,
// not at all when switched off; the menu command of the main dialog says
// "nothing newer" in its list.
TEST_F(UpdateGuiTest, SilentCheckShowsOnlyANewerVersionAndMenuCheckSaysNothingNewer) {
  const std::filesystem::path document = m_box.root() / "versions.xml";
  test::ReferenceService service(m_box.root(), {"--versions", document.string()});
  ASSERT_GT(service.port(), 0);
  useService(service.url());
  struct Case {
    const char* setting;  // VLTRX_UPDATE_CHECK
    int announced;
    bool started;
    int boxes;
  } cases[] = {{"1", 3400, true, 0}, {"1", 3500, true, 1}, {"0", 3500, false, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.setting) + " " + std::to_string(c.announced));
    std::ofstream(document, std::ios::trunc) << "<VerInfo Id=\"vltrx\" Version=\"" << c.announced << "\"/>\n";
    m_box.set("VLTRX_UPDATE_CHECK", c.setting);
    update::UpdateChecker checker;
    ASSERT_TRUE(checker.registerProgram(vltrxEntry("en")));
    int boxes = 0;
    ModalWatcher watcher([&](QWidget* w) {
      if (auto* box = qobject_cast<UpdateOfferBox*>(w)) {
        ++boxes;
        box->noButton()->click();
      }
    });
    QWidget parent;
    bool opened = false;
    EXPECT_EQ(startUpdateCheckAtStart(&parent, &checker, [&](const std::string&, std::string*) {
                return opened = true;
              }),
              c.started);
    checker.wait();
    // The events reach this thread after the worker is done.
    serveUntil([&] { return boxes == c.boxes; }, 3s);
    QApplication::processEvents(QEventLoop::AllEvents, 200);
    EXPECT_EQ(boxes, c.boxes);
    EXPECT_FALSE(opened);
  }

  std::ofstream(document, std::ios::trunc) << "<VerInfo Id=\"vltrx\" Version=\"3400\"/>\n";
  MainDialog dialog(VLTRX_EXE);
  QAction* menuItem = nullptr;
  for (QAction* a : dialog.findChildren<QAction*>())
    if (a->text() == QString::fromStdString(text(306))) menuItem = a;
  ASSERT_NE(menuItem, nullptr);
  ASSERT_TRUE(menuItem->isEnabled());
  QStringList lines;
  ModalWatcher watcher([&](QWidget* w) {
    if (auto* progress = qobject_cast<UpdateProgressDialog*>(w); progress && progress->checkFinished()) {
      for (int i = 0; i < progress->list()->count(); ++i) lines << progress->list()->item(i)->text();
      progress->close();
    }
  });
  menuItem->trigger();
  EXPECT_EQ(lines, (QStringList{"Looking for update of vltrx...", "     No new version of vltrx available."}));
}

// A service that accepts and never answers: the main dialog opens and
// serves its events at once while the check waits on its own thread. The
// menu command, chosen meanwhile, waits for that check to end, then runs
// its own and lists its failure; a dialog gone before its check ends is no
// trouble.
TEST_F(UpdateGuiTest, SilentServerDoesNotFreezeTheMainDialog) {
  test::SilentServer silent;
  useService(silent.url(), 2);
  m_box.set("VLTRX_UPDATE_CHECK", "1");
  update::UpdateChecker& checker = frontEndChecker();
  auto started = std::chrono::steady_clock::now();
  QStringList lines;
  {
    MainDialog dialog(VLTRX_EXE);
    dialog.show();
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(20);
    ASSERT_TRUE(serveUntil([&] { return checker.running(); }, 1s));
    serveUntil([&] { return ticks >= 10; }, 2s);
    EXPECT_GE(ticks, 10);
    EXPECT_TRUE(checker.running());
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1500ms);
    EXPECT_TRUE(dialog.isVisible());

    ModalWatcher watcher([&](QWidget* w) {
      if (auto* progress = qobject_cast<UpdateProgressDialog*>(w); progress && progress->checkFinished()) {
        for (int i = 0; i < progress->list()->count(); ++i) lines << progress->list()->item(i)->text();
        progress->close();
      }
    });
    for (QAction* a : dialog.findChildren<QAction*>())
      if (a->text() == QString::fromStdString(text(306))) a->trigger();
    // One more check, still waiting when its dialog goes.
    EXPECT_TRUE(startUpdateCheckAtStart(&dialog));
  }
  EXPECT_EQ(lines, (QStringList{"Looking for update of vltrx...",
                                "Unable to search for updates since the Update Server is not available."}));
  checker.wait();  // a check whose dialog is gone ends quietly
  QApplication::processEvents();
  EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
}

}  // namespace
}  // namespace vltrx::gui
