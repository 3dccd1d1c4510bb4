// Default text conversion of the native format: UTF-8 in the store, the
// file's code page on disk, with a fast path for plain ASCII text.
#include "xml/NativeXmlHooks.h"

#include "platform/CodePage.h"

namespace vltrx {
namespace {

bool isAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

}  // namespace

NativeXmlCallback::NativeXmlCallback(uint32_t codePage)
    : m_codePage(codePage), m_asciiCompatible(platform::isAsciiCompatible(codePage)) {}

void NativeXmlCallback::convertToStore(std::string& text) {
  // Most names and comments are ASCII; they need no trip through iconv.
  if (m_asciiCompatible && isAscii(text)) return;
  if (platform::toUtf8(text, m_codePage, m_scratch)) text.swap(m_scratch);
}

void NativeXmlCallback::convertToFile(std::string& text) {
  if (m_asciiCompatible && isAscii(text)) return;
  if (platform::fromUtf8(text, m_codePage, m_scratch)) text.swap(m_scratch);
}

}  // namespace vltrx
