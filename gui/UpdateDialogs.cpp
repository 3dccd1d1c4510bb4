// The update check's dialogs. Texts come from the update module in the
// language of the registered program; the error box for a browser that
// cannot be started uses the message table.
#include "gui/UpdateDialogs.h"

#include "app/CommandLine.h"
#include "core/CError.h"
#include "core/MessageTable.h"
#include "framework/SettingsKey.h"
#include "platform/Process.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdlib>
#include <mutex>
#include <string_view>

namespace vltrx::gui {

using update::UpdateEvent;

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

update::UpdateLanguage frontEndLanguage() {
  return update::languageFromCode(storedLanguageCode(currentLanguage()));
}

}  // namespace

bool openInBrowser(const std::string& url, std::string* error) { return platform::openWebPage(url, error); }

// What the worker's callbacks share with the relay: the relay while it
// exists. The lock keeps it alive while an event is being posted to it.
struct UpdateEventRelay::Target {
  std::mutex mutex;
  UpdateEventRelay* relay = nullptr;
};

UpdateEventRelay::UpdateEventRelay(Handler handler, QObject* parent)
    : QObject(parent), m_target(std::make_shared<Target>()), m_handler(std::move(handler)) {
  m_target->relay = this;
}

UpdateEventRelay::~UpdateEventRelay() {
  // Events already posted die with this object (Qt drops them).
  std::lock_guard lock(m_target->mutex);
  m_target->relay = nullptr;
}

update::UpdateCallback UpdateEventRelay::callback() {
  return [target = m_target](const UpdateEvent& event) {
    std::lock_guard lock(target->mutex);
    UpdateEventRelay* relay = target->relay;
    if (!relay) return;
    QMetaObject::invokeMethod(
        relay, [relay, event] { relay->m_handler(event); }, Qt::QueuedConnection);
  };
}

UpdateOfferBox::UpdateOfferBox(const update::UpdateOffer& offer, QWidget* parent) : QMessageBox(parent) {
  update::UpdateLanguage lang = update::languageFromCode(offer.program.language);
  setIcon(QMessageBox::Question);
  setWindowTitle(qs(offer.title));
  setText(qs(offer.question));
  m_yes = addButton(qs(update::updateText(update::UpdateText::Yes, lang)), QMessageBox::YesRole);
  m_no = addButton(qs(update::updateText(update::UpdateText::No, lang)), QMessageBox::NoRole);
  setDefaultButton(m_yes);
  setEscapeButton(m_no);
  setCheckBox(new QCheckBox(qs(offer.dontRemind), this));
}

bool UpdateOfferBox::visit() const { return clickedButton() == m_yes; }

void askAboutOffer(const update::UpdateOffer& offer, QWidget* parent, const PageOpener& opener) {
  UpdateOfferBox box(offer, parent);
  box.exec();
  std::string page = update::answerOffer(offer, box.visit(), box.checkBox()->isChecked());
  if (page.empty() || !opener) return;
  std::string error;
  if (opener(page, &error)) return;
  // The address stays readable, so the page can still be visited by hand.
  QString message = qs(replaceFirstS(text(123), "xdg-open")) + "\n\n" + qs(page);
  if (!error.empty()) message += "\n\n" + qs(error);
  QMessageBox::critical(parent, qs(text(0)), message);
}

UpdateProgressDialog::UpdateProgressDialog(update::UpdateChecker& checker, PageOpener opener, QWidget* parent)
    : QDialog(parent), m_checker(checker), m_opener(std::move(opener)) {
  setWindowTitle(qs(checker.progressTitle()));
  auto* layout = new QVBoxLayout(this);
  m_list = new QListWidget(this);
  m_list->setSelectionMode(QAbstractItemView::NoSelection);
  layout->addWidget(m_list);
  resize(460, 220);
  m_retry = new QTimer(this);
  m_retry->setInterval(200);
  connect(m_retry, &QTimer::timeout, this, &UpdateProgressDialog::tryStart);
  m_relay = new UpdateEventRelay([this](const UpdateEvent& e) { handle(e); }, this);
}

void UpdateProgressDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Started once the dialog is on screen, so its first lines have a place.
  if (!m_started && !m_retry->isActive()) QTimer::singleShot(0, this, &UpdateProgressDialog::tryStart);
}

void UpdateProgressDialog::tryStart() {
  if (m_started) return;
  // Refused while another check (the one at start) runs: it ends within its
  // time-outs, and this one follows.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (m_checker.checkWithProgress(m_relay->callback())) {
      m_started = true;
      m_retry->stop();
      return;
    }
    if (m_checker.running()) {
      m_retry->start();
      return;
    }
  }
  // No check running and none could start: the worker thread did not start.
  m_retry->stop();
  m_started = true;
  m_finished = true;
  m_list->addItem(qs(update::updateText(update::UpdateText::ServiceDown, frontEndLanguage())));
}

void UpdateProgressDialog::handle(const UpdateEvent& event) {
  switch (event.kind) {
    case UpdateEvent::Kind::Line:
      m_list->addItem(qs(event.text));
      m_list->scrollToBottom();
      break;
    case UpdateEvent::Kind::Offer:
      askAboutOffer(event.offer, this, m_opener);
      break;
    case UpdateEvent::Kind::Finished:
      m_finished = true;
      m_results = event.results;
      emit checkEnded(m_results);
      break;
  }
}

update::UpdateChecker& frontEndChecker() {
  static std::once_flag once;
  std::call_once(once, [] {
    update::updateChecker().registerProgram({std::string(kProgramKeyPath), "vltrx",
                                             storedLanguageCode(currentLanguage()), kProgramVersion, "vltrx", 0});
  });
  return update::updateChecker();
}

bool updateCheckAtStartEnabled() {
  if (const char* env = std::getenv("VLTRX_UPDATE_CHECK"); env && std::string_view(env) == "0") return false;
  SettingsKey maker;
  uint32_t value = 1;
  if (maker.open(kMakerKeyPath)) {
    maker.applyDefaults = false;
    maker.readDword("UpdateCheckAtStart", value, 1);
  }
  return value != 0;
}

bool startUpdateCheckAtStart(QWidget* parent, update::UpdateChecker* checker, PageOpener opener) {
  if (!updateCheckAtStartEnabled()) return false;
  if (!checker) checker = &frontEndChecker();
  // The relay lives with the parent: a worker that outlasts the dialog
  // finds nobody to tell and ends quietly.
  auto* relay = new UpdateEventRelay(
      [parent, opener = std::move(opener)](const UpdateEvent& e) {
        if (e.kind == UpdateEvent::Kind::Offer) askAboutOffer(e.offer, parent, opener);
      },
      parent);
  if (checker->checkInBackground(relay->callback())) return true;
  delete relay;
  return false;
}

void runUpdateCheckWithProgress(QWidget* parent, update::UpdateChecker* checker, PageOpener opener) {
  UpdateProgressDialog dialog(checker ? *checker : frontEndChecker(), std::move(opener), parent);
  dialog.exec();
}

}  // namespace vltrx::gui
