// Code-page conversion between UTF-8 (the converter's inside text) and the
// code pages of text files, numbered as on Windows (1252, 850, 932, 65001...).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vltrx::platform {

inline constexpr uint32_t kCodePageAnsi = 0;  ///< the platform's "ANSI code page"
inline constexpr uint32_t kCodePageUtf16Le = 1200;
inline constexpr uint32_t kCodePageUtf8 = 65001;

/// The code page that 0 stands for: 1252, unless the environment variable
/// VLTRX_ANSI_CODEPAGE names another known code page number.
uint32_t ansiCodePage();

/// True when the code page number (0 included) can be converted.
bool isSupportedCodePage(uint32_t codePage);
/// The iconv name of a code page, or nullptr when unknown (0 is resolved).
const char* iconvName(uint32_t codePage);
/// True when the code page encodes the 128 ASCII characters as themselves,
/// one byte each, without any shift state.
bool isAsciiCompatible(uint32_t codePage);
/// Every code page number the converter knows (without 0).
std::vector<uint32_t> knownCodePages();

/// Converts bytes in codePage to UTF-8 into out (replaced). Invalid or
/// incomplete byte sequences become U+FFFD. False (out emptied) only when the
/// code page is unknown.
bool toUtf8(std::string_view bytes, uint32_t codePage, std::string& out);
std::optional<std::string> toUtf8(std::string_view bytes, uint32_t codePage);

/// Converts UTF-8 text to codePage into out (replaced). Invalid UTF-8 is
/// first replaced by U+FFFD; characters the code page cannot hold become "?".
/// False (out emptied) only when the code page is unknown.
bool fromUtf8(std::string_view utf8, uint32_t codePage, std::string& out);
std::optional<std::string> fromUtf8(std::string_view utf8, uint32_t codePage);

/// True when bytes holds only ASCII characters other than NUL (the common
/// case, which needs no code-page conversion).
bool isPlainAscii(std::string_view bytes);

/// The text conversion of the readers and writers between one file's code
/// page and UTF-8. Plain ASCII text in a code page that holds ASCII as itself
/// passes as it is, without a trip through iconv (most names and comments);
/// an unknown code page is taken for the ANSI code page.
class TextConverter {
 public:
  /// codePage 0 is the ANSI code page.
  explicit TextConverter(uint32_t codePage);

  /// The code page converted to (0 for the ANSI code page).
  uint32_t codePage() const { return m_codePage; }
  /// True when text reads and writes as it is (no conversion needed).
  bool passesAsIs(std::string_view text) const { return m_asciiCompatible && isPlainAscii(text); }

  /// bytes in the code page as UTF-8 into out (replaced), NUL bytes dropped;
  /// invalid sequences become U+FFFD.
  void toUtf8(std::string_view bytes, std::string& out);
  /// UTF-8 text in the code page into out (replaced); characters the code
  /// page cannot hold become "?".
  void fromUtf8(std::string_view utf8, std::string& out);
  /// As fromUtf8, appended to out.
  void appendFromUtf8(std::string_view utf8, std::string& out);

 private:
  uint32_t m_codePage;
  bool m_asciiCompatible;
  std::string m_withoutNul;
  std::string m_converted;  // appendFromUtf8's conversion, reused
};

/// True when text is well-formed UTF-8 (no overlong forms, no surrogates,
/// nothing above U+10FFFF).
bool isValidUtf8(std::string_view text);
/// text with every ill-formed sequence replaced by U+FFFD (one per maximal
/// ill-formed subpart, as Unicode recommends).
std::string sanitizeUtf8(std::string_view text);

}  // namespace vltrx::platform
