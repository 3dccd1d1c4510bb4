// The update check in the desktop front end: the notification that offers
// a newer version, the progress list of "Look for &Updates...", and the
// silent check when the main dialog opens. The check itself runs on the
// update worker; its events are carried over to the Qt main thread, where
// every dialog lives (the notification included, which the worker would
// show itself on Windows).
#pragma once

#include "update/UpdateCheck.h"

#include <QDialog>
#include <QMessageBox>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QListWidget;
class QPushButton;
class QTimer;

namespace vltrx::gui {

/// Opens a web page; false with the reason in error when it cannot.
using PageOpener = std::function<bool(const std::string& url, std::string* error)>;

/// The desktop's browser (platform::openWebPage, xdg-open).
bool openInBrowser(const std::string& url, std::string* error);

/// Hands the checker's events, which come on its worker thread, to handler
/// on the thread of this object. Events that arrive after the object is
/// gone are dropped, so the worker may outlive any dialog.
class UpdateEventRelay : public QObject {
 public:
  using Handler = std::function<void(const update::UpdateEvent&)>;
  UpdateEventRelay(Handler handler, QObject* parent);
  ~UpdateEventRelay() override;
  /// The callback to give the checker.
  update::UpdateCallback callback();

 private:
  struct Target;
  std::shared_ptr<Target> m_target;
  Handler m_handler;
};

/// The notification of a newer version: the title "%s Update", the
/// question, Yes and No (No on Esc), and the check box
/// "Don't remind again for this version".
class UpdateOfferBox : public QMessageBox {
  Q_OBJECT

 public:
  UpdateOfferBox(const update::UpdateOffer& offer, QWidget* parent);
  QPushButton* yesButton() const { return m_yes; }
  QPushButton* noButton() const { return m_no; }
  /// After exec: Yes was chosen.
  bool visit() const;

 private:
  QPushButton* m_yes = nullptr;
  QPushButton* m_no = nullptr;
};

/// Shows the notification modally, stores the answer (the "Disable...
/// UpdateVersion" value) and, on Yes, opens the download page with opener;
/// when that fails an error box says so and names the address.
void askAboutOffer(const update::UpdateOffer& offer, QWidget* parent, const PageOpener& opener);

/// The progress list of the menu command, titled "Looking for updates...":
/// it starts the check when it opens (or, while another check is running,
/// as soon as that one has ended), shows one line per event and the
/// notification for a newer version, and closes with its close box.
class UpdateProgressDialog : public QDialog {
  Q_OBJECT

 public:
  UpdateProgressDialog(update::UpdateChecker& checker, PageOpener opener, QWidget* parent = nullptr);
  QListWidget* list() const { return m_list; }
  /// The check has ended; results holds one result per program.
  bool checkFinished() const { return m_finished; }
  const std::vector<int>& results() const { return m_results; }

 signals:
  void checkEnded(const std::vector<int>& results);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void tryStart();
  void handle(const update::UpdateEvent& event);

  update::UpdateChecker& m_checker;
  PageOpener m_opener;
  QListWidget* m_list = nullptr;
  QTimer* m_retry = nullptr;
  UpdateEventRelay* m_relay = nullptr;
  bool m_started = false;
  bool m_finished = false;
  std::vector<int> m_results;
};

/// The checker of the front end, with vltrx registered (in the current
/// language) on first use. The functions below take it when given no
/// checker, and only once a check really starts.
update::UpdateChecker& frontEndChecker();

/// Whether the main dialog checks when it opens: not when the environment
/// variable VLTRX_UPDATE_CHECK is "0" (tests, scripted sessions) or the
/// 32-bit value "UpdateCheckAtStart" under "Software\Kestrava" is 0.
bool updateCheckAtStartEnabled();

/// The silent check when the main dialog opens: no progress list, no
/// message for errors or for nothing newer; a newer version (unless the
/// user declined it for good) is offered over parent. Returns at once;
/// false when switched off or when a check is already running.
bool startUpdateCheckAtStart(QWidget* parent, update::UpdateChecker* checker = nullptr,
                             PageOpener opener = openInBrowser);

/// "Look for &Updates...": the progress list, modal over parent.
void runUpdateCheckWithProgress(QWidget* parent, update::UpdateChecker* checker = nullptr,
                                PageOpener opener = openInBrowser);

}  // namespace vltrx::gui
