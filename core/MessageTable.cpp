// Message table: language selection and text lookup. The texts are data:
// core/messages/<language>.txt, turned into MessageData.inc at build time.
#include "core/MessageTable.h"

#include <array>
#include <cctype>

namespace vltrx {
namespace {

#include "MessageData.inc"

constexpr int kLanguageCount = 6;
static_assert(sizeof(kMessageData) / sizeof(kMessageData[0]) == kLanguageCount);
static_assert(sizeof(kMessageData[0]) / sizeof(kMessageData[0][0]) == kMessageCount);

Language g_language = Language::En;
const std::string kEmpty;

using Column = std::array<std::string, kMessageCount>;

// The strings are built once, on first use, so that text() can hand out
// references that stay valid for the life of the process.
const std::array<Column, kLanguageCount>& table() {
  static std::array<Column, kLanguageCount> columns;
  static const bool filled = [] {
    for (int l = 0; l < kLanguageCount; ++l)
      for (int id = 0; id < kMessageCount; ++id) columns[l][id] = kMessageData[l][id];
    return true;
  }();
  (void)filled;
  return columns;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  return true;
}
}  // namespace

const std::string& text(int id) { return text(id, g_language); }
const std::string& text(int id, Language language) {
  const int l = static_cast<int>(language);
  if (id < 0 || id >= kMessageCount || l < 0 || l >= kLanguageCount) return kEmpty;
  return table()[l][id];
}

void setLanguage(Language language) { g_language = language; }
Language currentLanguage() { return g_language; }

Language languageFromStored(std::string_view s) {
  if (startsWithNoCase(s, "de") || startsWithNoCase(s, "ge")) return Language::De;
  if (startsWithNoCase(s, "fr")) return Language::Fr;
  if (startsWithNoCase(s, "it")) return Language::It;
  if (startsWithNoCase(s, "sp")) return Language::Es;
  if (startsWithNoCase(s, "ru")) return Language::Ru;
  return Language::En;
}

Language languageFromArgument(std::string_view s) {
  // The code exactly ("-lang:deutsch" is no code and selects English).
  auto is = [&](std::string_view code) { return s.size() == code.size() && startsWithNoCase(s, code); };
  if (is("de") || is("ge")) return Language::De;
  if (is("fr")) return Language::Fr;
  if (is("it")) return Language::It;
  if (is("es") || is("sp")) return Language::Es;
  if (is("ru")) return Language::Ru;
  return Language::En;
}

Language selectLanguage(const std::optional<std::string>& stored, const std::vector<std::string>& args) {
  Language lang = stored ? languageFromStored(*stored) : Language::En;
  for (const auto& a : args) {
    if (startsWithNoCase(a, "-lang:")) {
      lang = languageFromArgument(std::string_view(a).substr(6));
      break;
    }
  }
  return lang;
}

const char* storedLanguageCode(Language language) {
  static const char* const kCodes[] = {"de", "en", "fr", "it", "sp", "ru"};
  return kCodes[static_cast<int>(language)];
}

}  // namespace vltrx
