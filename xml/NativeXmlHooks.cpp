// Default text conversion of the native format: UTF-8 in the store, the
// file's code page on disk, through the shared text converter.
#include "xml/NativeXmlHooks.h"

#include "platform/CodePage.h"

namespace vltrx {

NativeXmlCallback::NativeXmlCallback(uint32_t codePage) : m_codePage(codePage), m_converter(codePage) {}

void NativeXmlCallback::convertToStore(std::string& text) {
  if (m_converter.passesAsIs(text)) return;
  m_converter.toUtf8(text, m_scratch);
  text.swap(m_scratch);
}

void NativeXmlCallback::convertToFile(std::string& text) {
  if (m_converter.passesAsIs(text)) return;
  m_converter.fromUtf8(text, m_scratch);
  text.swap(m_scratch);
}

}  // namespace vltrx
