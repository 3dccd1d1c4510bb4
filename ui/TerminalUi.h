// The terminal view of the Ui: a progress bar and status line on stderr
// (only when stderr is a terminal), questions asked on the terminal.
#pragma once

#include "ui/Ui.h"

#include <cstdio>

namespace vltrx {

class TerminalUi : public Ui {
 public:
  /// in/err: where questions are read and everything is shown. Interactive
  /// questions are asked only when inIsTerminal; the bar is drawn only when
  /// errIsTerminal.
  TerminalUi(std::FILE* in, std::FILE* err, bool inIsTerminal, bool errIsTerminal);
  /// Uses stdin/stderr and asks the system whether they are terminals.
  TerminalUi();

 protected:
  void doOpen() override;
  void doClose() override;
  void doSetStatus(std::string_view text) override;
  void doSetPosition(uint32_t position) override;
  Answer doMessageBox(std::string_view text, std::string_view caption, Buttons buttons, Icon icon) override;
  bool doWarning(int textId, std::string_view text) override;
  void doErrorBox(std::string_view text, std::string_view caption) override;
  bool doAskOverwrite(std::string_view question) override;
  int doRenumberPrompt(std::string_view title, std::string_view message, bool commentOffered,
                       unsigned previousBits) override;

 private:
  void clearLine();
  void draw();
  /// Reads one answer line; false at end of input.
  bool readLine(std::string& line);
  /// Asks until the first letter of the answer is one of the choices.
  char ask(std::string_view prompt, std::string_view choices, char fallback);

  std::FILE* m_in;
  std::FILE* m_err;
  bool m_inTty;
  bool m_errTty;
  bool m_drawn = false;
  std::string m_status;
  uint32_t m_position = 0;
};

}  // namespace vltrx
