// The interface through which conversion code talks to the user: progress
// phases, status text, warnings, questions and error boxes. Readers and
// writers receive a Ui&; the command line supplies the terminal view, the
// graphical interface its own. Drivers never print or prompt themselves.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vltrx {

/// Thrown when the user ends the run from a prompt (Cancel in a warning
/// dialog: code 1; Cancel in the renumbering prompt: -2137). The top level
/// turns it into the exit status without further messages.
struct ExitRequest {
  int code;
};

class Ui {
 public:
  enum class Icon { None, Information, Warning, Question, Error };
  enum class Buttons { Ok, OkCancel, YesNo };
  enum class Answer { None = 0, Ok = 1, Cancel = 2, Yes = 6, No = 7 };

  virtual ~Ui() = default;

  /// The quiet flag (-nodialog): no progress window, no message boxes shown
  /// through messageBox/warningDialog/errorBox, no renumbering prompt.
  bool quiet() const { return m_quiet; }
  void setQuiet(bool quiet) { m_quiet = quiet; }

  // --- progress window -------------------------------------------------
  void openProgress();
  void closeProgress();
  bool progressOpen() const { return m_open; }
  /// Status line ("Reading %s ...", already formatted). Ignored when quiet.
  void setStatus(std::string_view text);
  /// Enables or disables the Cancel button of the progress window.
  void enableCancel(bool enabled);

  /// base = 0, span = 0, total = 1, then update(0). At the start of each file.
  void resetProgress();
  /// A reader or writer starts a phase: span (normally 100) and its item count.
  void beginPhase(uint32_t span, uint32_t total);
  /// Items done in the current phase; the bar moves at most every 100 ms.
  void update(uint32_t done);
  /// base += span; span = 0; total = 1; update(0).
  void endPhase();

  uint32_t progressBase() const { return m_base; }
  uint32_t progressSpan() const { return m_span; }
  uint32_t progressTotal() const { return m_total; }
  uint32_t progressCurrent() const { return m_current; }

  // --- message boxes -----------------------------------------------------
  /// Shows format (with its first "%s" filled by arg when arg is given).
  /// Returns Answer::None without showing anything when quiet. unattended is
  /// the answer a view takes when nobody can be asked (no terminal); None
  /// leaves it to the view (No for a Yes/No question, OK otherwise).
  Answer messageBox(std::string_view format, const std::string* arg, std::string_view caption, Buttons buttons,
                    Icon icon, Answer unattended = Answer::None);
  /// Modal warning with OK and Cancel: text is message textId of the table,
  /// already filled in. OK returns; Cancel throws ExitRequest{1}. Nothing
  /// happens when quiet.
  void warningDialog(int textId, std::string_view text);
  /// Error box, unless quiet.
  void errorBox(std::string_view text, std::string_view caption);
  /// "The file "%s" already exists. Overwrite existing file?" — asked even
  /// when quiet. True = overwrite.
  bool askOverwrite(const std::string& path);
  /// Renumbering prompt (title text 7, message already formatted). Returns the
  /// answer bits; Cancel throws ExitRequest{-2137}. Not called when quiet.
  unsigned renumberPrompt(std::string_view message, bool commentOffered, unsigned previousBits);

 protected:
  // What a concrete view implements.
  virtual void doOpen() {}
  virtual void doClose() {}
  virtual void doSetStatus(std::string_view text) = 0;
  virtual void doEnableCancel(bool enabled) {}
  /// Moves the bar to position (0..100 for one phase; the view clips).
  virtual void doSetPosition(uint32_t position) = 0;
  virtual Answer doMessageBox(std::string_view text, std::string_view caption, Buttons buttons, Icon icon) = 0;
  /// True = OK, false = Cancel. textId names the warning (tests, logs).
  virtual bool doWarning(int textId, std::string_view text) = 0;
  virtual void doErrorBox(std::string_view text, std::string_view caption) = 0;
  virtual bool doAskOverwrite(std::string_view question) = 0;
  /// Returns the answer bits, or -1 for Cancel.
  virtual int doRenumberPrompt(std::string_view title, std::string_view message, bool commentOffered,
                               unsigned previousBits) = 0;
  /// The unattended answer of the message box being shown (see messageBox).
  Answer unattendedAnswer() const { return m_unattended; }
  /// Monotonic milliseconds; overridable so tests can drive the throttle.
  virtual uint32_t tickMs() const;

 private:
  bool m_quiet = false;
  Answer m_unattended = Answer::None;
  bool m_open = false;
  uint32_t m_base = 0;
  uint32_t m_span = 0;
  uint32_t m_total = 1;
  uint32_t m_current = 0;
  uint32_t m_lastUpdate = 0;
  bool m_everUpdated = false;
};

/// A Ui that shows nothing and answers every question with the choice that
/// loses nothing: warnings continue, overwrite is declined, the renumbering
/// prompt keeps its previous answer. Tests derive from it to script answers.
class SilentUi : public Ui {
 protected:
  void doSetStatus(std::string_view) override {}
  void doSetPosition(uint32_t) override {}
  Answer doMessageBox(std::string_view, std::string_view, Buttons, Icon) override { return Answer::None; }
  bool doWarning(int, std::string_view) override { return true; }
  void doErrorBox(std::string_view, std::string_view) override {}
  bool doAskOverwrite(std::string_view) override { return false; }
  int doRenumberPrompt(std::string_view, std::string_view, bool, unsigned previousBits) override {
    return static_cast<int>(previousBits);
  }
};

}  // namespace vltrx
