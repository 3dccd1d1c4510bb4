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

/// True when text is well-formed UTF-8 (no overlong forms, no surrogates,
/// nothing above U+10FFFF).
bool isValidUtf8(std::string_view text);
/// text with every ill-formed sequence replaced by U+FFFD (one per maximal
/// ill-formed subpart, as Unicode recommends).
std::string sanitizeUtf8(std::string_view text);

}  // namespace vltrx::platform
