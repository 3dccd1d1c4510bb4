// The Qt view of the Ui: the progress window, the warning dialog, the
// message boxes, the overwrite question and the renumbering prompt as Qt
// dialogs. Qt keeps every widget on its main thread, so the conversion
// runs on a worker thread and each call from it is carried over to the
// main thread and waited for (the reverse of the Windows arrangement, where
// the window had its own thread).
#pragma once

#include "ui/Ui.h"

#include <string>
#include <vector>

class QDialog;
class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;

namespace vltrx::gui {

class QtUi : public Ui {
 public:
  /// Create on the Qt main thread, after the QApplication.
  QtUi();
  ~QtUi() override;

  /// The progress window while it is open (tests), else nullptr.
  QDialog* progressWindow() const { return m_window; }
  /// Position last set on the bar, -1 before the first.
  int barPosition() const;

 protected:
  void doOpen() override;
  void doClose() override;
  void doSetStatus(std::string_view text) override;
  void doEnableCancel(bool enabled) override;
  void doSetPosition(uint32_t position) override;
  Answer doMessageBox(std::string_view text, std::string_view caption, Buttons buttons, Icon icon) override;
  bool doWarning(int textId, std::string_view text) override;
  void doErrorBox(std::string_view text, std::string_view caption) override;
  bool doAskOverwrite(std::string_view question) override;
  int doRenumberPrompt(std::string_view title, std::string_view message, bool commentOffered,
                       unsigned previousBits) override;

 private:
  QWidget* owner() const;

  QDialog* m_window = nullptr;
  QLabel* m_status = nullptr;
  QProgressBar* m_bar = nullptr;
  QPushButton* m_cancel = nullptr;
};

/// Runs the program's command line (args[0] is the program) with a QtUi:
/// the conversion on a worker thread, the dialogs on this one, inside the
/// QApplication's event loop. Returns the program's result code.
int runConversionWithDialogs(const std::vector<std::string>& args);

}  // namespace vltrx::gui
