// Progress phases and message-box rules shared by every view.
#include "ui/Ui.h"

#include "core/CError.h"
#include "core/MessageTable.h"

#include <chrono>

namespace vltrx {

uint32_t Ui::tickMs() const {
  using namespace std::chrono;
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void Ui::openProgress() {
  if (m_quiet) return;
  m_open = true;
  doOpen();
}

void Ui::closeProgress() {
  if (m_quiet || !m_open) return;
  doClose();
  m_open = false;
}

void Ui::setStatus(std::string_view text) {
  if (m_quiet) return;
  doSetStatus(text);
}

void Ui::enableCancel(bool enabled) {
  if (m_quiet) return;
  doEnableCancel(enabled);
}

void Ui::resetProgress() {
  m_base = 0;
  m_span = 0;
  m_total = 1;
  update(0);
}

void Ui::beginPhase(uint32_t span, uint32_t total) {
  m_span = span;
  m_total = total;
  update(0);
}

void Ui::update(uint32_t done) {
  m_current = done;
  if (m_total == 0) return;
  uint32_t now = tickMs();
  // Unsigned difference, so a wrapping tick count still throttles correctly.
  if (m_everUpdated && now - m_lastUpdate < 100) return;
  m_everUpdated = true;
  m_lastUpdate = now;
  if (m_quiet || !m_open) return;
  uint64_t position = m_base + static_cast<uint64_t>(m_span) * done / m_total;
  doSetPosition(static_cast<uint32_t>(position));
}

void Ui::endPhase() {
  m_base += m_span;
  m_span = 0;
  m_total = 1;
  update(0);
}

Ui::Answer Ui::messageBox(std::string_view format, const std::string* arg, std::string_view caption,
                          Buttons buttons, Icon icon, Answer unattended) {
  if (m_quiet) return Answer::None;
  std::string body = arg ? replaceFirstS(format, *arg) : std::string(format);
  m_unattended = unattended;
  const Answer answer = doMessageBox(body, caption, buttons, icon);
  m_unattended = Answer::None;
  return answer;
}

void Ui::warningDialog(int textId, std::string_view message) {
  if (m_quiet) return;
  if (!doWarning(textId, message)) throw ExitRequest{1};
}

void Ui::errorBox(std::string_view message, std::string_view caption) {
  if (m_quiet) return;
  doErrorBox(message, caption);
}

bool Ui::askOverwrite(const std::string& path) {
  return doAskOverwrite(replaceFirstS(text(89), path));
}

unsigned Ui::renumberPrompt(std::string_view message, bool commentOffered, unsigned previousBits) {
  if (m_quiet) return previousBits;
  int bits = doRenumberPrompt(text(7), message, commentOffered, previousBits);
  if (bits < 0) throw ExitRequest{+ErrorCode::Cancelled};
  return static_cast<unsigned>(bits);
}

}  // namespace vltrx
