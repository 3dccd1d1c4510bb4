// Message table: language selection and text lookup.
// (The texts themselves are generated from core/messages/ at build time.)
#include "core/MessageTable.h"

#include <cctype>

namespace vltrx {
namespace {
Language g_language = Language::En;
const std::string kEmpty;

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
  (void)id;
  (void)language;
  return kEmpty;
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
  if (startsWithNoCase(s, "de") || startsWithNoCase(s, "ge")) return Language::De;
  if (startsWithNoCase(s, "fr")) return Language::Fr;
  if (startsWithNoCase(s, "it")) return Language::It;
  if (startsWithNoCase(s, "es") || startsWithNoCase(s, "sp")) return Language::Es;
  if (startsWithNoCase(s, "ru")) return Language::Ru;
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
