// Terminal view: the bar is redrawn in place with "\r"; without a terminal
// nothing but warnings and errors reach stderr, and every question takes the
// answer that loses nothing (continue past a warning, do not overwrite).
// Every text goes out with its control characters escaped: names inside it
// come from files, and an escape sequence must never reach the terminal.
#include "ui/TerminalUi.h"

#include "core/CError.h"
#include "core/Utf8.h"
#include "core/MessageTable.h"
#include "core/PointNumberer.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <string>

namespace vltrx {

TerminalUi::TerminalUi(std::FILE* in, std::FILE* err, bool inIsTerminal, bool errIsTerminal)
    : m_in(in), m_err(err), m_inTty(inIsTerminal), m_errTty(errIsTerminal) {}

TerminalUi::TerminalUi() : TerminalUi(stdin, stderr, isatty(0) != 0, isatty(2) != 0) {}

void TerminalUi::doOpen() {
  m_status.clear();
  m_position = 0;
}

void TerminalUi::doClose() { clearLine(); }

void TerminalUi::clearLine() {
  if (m_drawn && m_errTty) {
    std::fputs("\r\033[K", m_err);
    std::fflush(m_err);
  }
  m_drawn = false;
}

void TerminalUi::draw() {
  if (!m_errTty) return;
  constexpr int kWidth = 30;
  uint32_t pos = std::min<uint32_t>(m_position, 100);
  int filled = static_cast<int>(pos * kWidth / 100);
  std::string bar = "\r\033[K[";
  bar.append(filled, '#');
  bar.append(kWidth - filled, ' ');
  bar += "] ";
  bar += std::to_string(pos);
  bar += "% ";
  // Keep the line short enough not to wrap on a narrow terminal.
  bar += escapeControlCharacters(cutUtf8(m_status, 60));
  std::fputs(bar.c_str(), m_err);
  std::fflush(m_err);
  m_drawn = true;
}

void TerminalUi::doSetStatus(std::string_view text) {
  m_status.assign(text);
  draw();
}

void TerminalUi::doSetPosition(uint32_t position) {
  m_position = position;
  draw();
}

bool TerminalUi::readLine(std::string& line) {
  line.clear();
  int c;
  while ((c = std::fgetc(m_in)) != EOF && c != '\n') line.push_back(static_cast<char>(c));
  return c != EOF || !line.empty();
}

char TerminalUi::ask(std::string_view prompt, std::string_view choices, char fallback) {
  clearLine();
  for (;;) {
    std::fprintf(m_err, "%.*s ", static_cast<int>(prompt.size()), prompt.data());
    std::fflush(m_err);
    std::string line;
    if (!readLine(line)) {
      std::fputc('\n', m_err);
      return fallback;
    }
    auto it = std::find_if(line.begin(), line.end(), [](char ch) { return !std::isspace(static_cast<unsigned char>(ch)); });
    if (it == line.end()) return fallback;
    char ch = static_cast<char>(std::tolower(static_cast<unsigned char>(*it)));
    if (choices.find(ch) != std::string_view::npos) return ch;
  }
}

// Strips the "&" accelerator marks of button texts ("&Yes" -> "Yes").
static std::string plainLabel(const std::string& label) {
  std::string out;
  for (char c : label)
    if (c != '&') out.push_back(c);
  return out;
}

Ui::Answer TerminalUi::doMessageBox(std::string_view body, std::string_view caption, Buttons buttons, Icon) {
  clearLine();
  const std::string message = escapeControlCharacters(body, true);
  std::fprintf(m_err, "%.*s: %s\n", static_cast<int>(caption.size()), caption.data(), message.c_str());
  switch (buttons) {
    case Buttons::Ok:
      return Answer::Ok;
    case Buttons::OkCancel:
      if (!m_inTty) return Answer::Ok;
      return ask("[" + plainLabel(text(12)) + "/" + plainLabel(text(13)) + "] (o/c)", "oc", 'o') == 'c'
                 ? Answer::Cancel
                 : Answer::Ok;
    case Buttons::YesNo:
      if (!m_inTty) return unattendedAnswer() == Answer::Yes ? Answer::Yes : Answer::No;
      return ask("[" + plainLabel(text(329)) + "/" + plainLabel(text(330)) + "] (y/n)", "yn", 'n') == 'y'
                 ? Answer::Yes
                 : Answer::No;
  }
  return Answer::None;
}

bool TerminalUi::doWarning(int, std::string_view warning) {
  clearLine();
  const std::string& caption = text(16);
  const std::string message = escapeControlCharacters(warning, true);
  std::fprintf(m_err, "%s: %s\n", caption.c_str(), message.c_str());
  if (!m_inTty) return true;
  return ask("[" + plainLabel(text(12)) + "/" + plainLabel(text(13)) + "] (o/c)", "oc", 'o') != 'c';
}

void TerminalUi::doErrorBox(std::string_view, std::string_view) {
  // The top level prints the error line itself; a second copy would only
  // repeat it on the same stream.
}

bool TerminalUi::doAskOverwrite(std::string_view body) {
  clearLine();
  const std::string question = escapeControlCharacters(body, true);
  std::fprintf(m_err, "%s\n", question.c_str());
  if (!m_inTty) return false;
  return ask("[" + plainLabel(text(329)) + "/" + plainLabel(text(330)) + "] (y/n)", "yn", 'n') == 'y';
}

int TerminalUi::doRenumberPrompt(std::string_view title, std::string_view message, bool commentOffered,
                                 unsigned previousBits) {
  clearLine();
  std::fprintf(m_err, "%s\n%s\n", escapeControlCharacters(title, true).c_str(),
               escapeControlCharacters(message, true).c_str());
  if (!m_inTty) return static_cast<int>(previousBits);
  unsigned bits = previousBits;
  const std::string dontAsk = plainLabel(text(8));
  if (ask(dontAsk + "? (y/n)", "yn", (bits & kRenumberDontAsk) ? 'y' : 'n') == 'y')
    bits |= kRenumberDontAsk;
  else
    bits &= ~kRenumberDontAsk;
  if (commentOffered) {
    if (ask(plainLabel(text(9)) + "? (y/n)", "yn", (bits & kRenumberIdAsComment) ? 'y' : 'n') == 'y')
      bits |= kRenumberIdAsComment;
    else
      bits &= ~kRenumberIdAsComment;
  }
  if (ask("[" + plainLabel(text(12)) + "/" + plainLabel(text(13)) + "] (o/c)", "oc", 'o') == 'c') return -1;
  return static_cast<int>(bits);
}

}  // namespace vltrx
