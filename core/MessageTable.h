// The table of every text the program shows, in six languages.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vltrx {

/// Column order of the message table.
enum class Language : int { De = 0, En = 1, Fr = 2, It = 3, Es = 4, Ru = 5 };

constexpr int kMessageCount = 339;

/// Text of id (0..338) in the current language, UTF-8. An id out of range
/// gives an empty string.
const std::string& text(int id);
const std::string& text(int id, Language language);

void setLanguage(Language language);
Language currentLanguage();

/// Language of a stored "PreferredLanguage" value: its first two characters,
/// case-insensitively: "de"/"ge", "en", "fr", "it", "sp", "ru"; else English.
Language languageFromStored(std::string_view stored);

/// Language of a "-lang:" suffix: "de"/"ge", "fr", "it", "es"/"sp", "ru";
/// anything else English.
Language languageFromArgument(std::string_view suffix);

/// The stored choice (nullopt when missing), overridden by the first argument
/// that begins with "-lang:" (case-insensitively).
Language selectLanguage(const std::optional<std::string>& stored, const std::vector<std::string>& args);

/// Code written back to "PreferredLanguage": "de", "en", "fr", "it", "sp", "ru".
const char* storedLanguageCode(Language language);

}  // namespace vltrx
