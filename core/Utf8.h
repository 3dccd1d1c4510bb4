// Cutting UTF-8 text to a byte limit without splitting a character.
#pragma once

#include <cstddef>
#include <string_view>

namespace vltrx {

/// The longest prefix of text of at most maxBytes bytes that does not end
/// inside a UTF-8 sequence (fixed-size name fields, cut comments, details).
inline std::string_view cutUtf8(std::string_view text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  size_t n = maxBytes;
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return text.substr(0, n);
}

}  // namespace vltrx
