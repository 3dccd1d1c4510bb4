// Texts of the update check in five languages.
#include "update/UpdateTexts.h"

#include <array>
#include <charconv>
#include <cstdlib>

namespace vltrx::update {
namespace {

constexpr int kLanguages = 5;
constexpr int kTexts = 11;

// Rows in UpdateText order; columns de, en, fr, ru, pl.
const std::array<std::array<std::string, kLanguages>, kTexts>& table() {
  static const std::array<std::array<std::string, kLanguages>, kTexts> texts = {{
      {"Suche nach Update von %s...", "Looking for update of %s...", "Recherche de mise \u00e0 jour de %s...",
       "\u041f\u043e\u0438\u0441\u043a \u043e\u0431\u043d\u043e\u0432\u043b\u0435\u043d\u0438\u044f "
       "\u0434\u043b\u044f %s...",
       "Wyszukiwanie aktualizacji programu %s..."},
      {"Suche nach Updates...", "Looking for updates...", "Recherche de mises \u00e0 jour...",
       "\u041f\u043e\u0438\u0441\u043a \u043e\u0431\u043d\u043e\u0432\u043b\u0435\u043d\u0438\u0439...",
       "Wyszukiwanie aktualizacji..."},
      {"%s Update", "%s Update", "Mise \u00e0 jour de %s",
       "\u041e\u0431\u043d\u043e\u0432\u043b\u0435\u043d\u0438\u0435 %s", "Aktualizacja %s"},
      {"Eine neue Version V%.3f von %s ist verf\u00fcgbar. M\u00f6chten Sie die Download-Webseite der neuen "
       "Version besuchen ?",
       "A new version V%.3f of %s is available. Do you want to visit the download website for the new version ?",
       "Une nouvelle version V%.3f de %s est disponible. Voulez-vous visiter le site de t\u00e9l\u00e9chargement "
       "de la nouvelle version ?",
       "\u0414\u043e\u0441\u0442\u0443\u043f\u043d\u0430 \u043d\u043e\u0432\u0430\u044f "
       "\u0432\u0435\u0440\u0441\u0438\u044f V%.3f \u043f\u0440\u043e\u0433\u0440\u0430\u043c\u043c\u044b %s. "
       "\u041f\u0435\u0440\u0435\u0439\u0442\u0438 \u043d\u0430 \u0441\u0430\u0439\u0442 "
       "\u0437\u0430\u0433\u0440\u0443\u0437\u043a\u0438 \u043d\u043e\u0432\u043e\u0439 "
       "\u0432\u0435\u0440\u0441\u0438\u0438 ?",
       "Dost\u0119pna jest nowa wersja V%.3f programu %s. Czy chcesz odwiedzi\u0107 stron\u0119 pobierania "
       "nowej wersji ?"},
      {"     Neue Version %.3f verf\u00fcgbar", "     New version %.3f available",
       "     Nouvelle version %.3f disponible",
       "     \u0414\u043e\u0441\u0442\u0443\u043f\u043d\u0430 \u043d\u043e\u0432\u0430\u044f "
       "\u0432\u0435\u0440\u0441\u0438\u044f %.3f",
       "     Dost\u0119pna nowa wersja %.3f"},
      {"F\u00fcr diese Version nicht mehr erinnern", "Don't remind again for this version",
       "Ne plus me le rappeler pour cette version",
       "\u0411\u043e\u043b\u044c\u0448\u0435 \u043d\u0435 \u043d\u0430\u043f\u043e\u043c\u0438\u043d\u0430\u0442\u044c "
       "\u043e\u0431 \u044d\u0442\u043e\u0439 \u0432\u0435\u0440\u0441\u0438\u0438",
       "Nie przypominaj ponownie o tej wersji"},
      {"     Keine neue Version von %s verf\u00fcgbar.", "     No new version of %s available.",
       "     Aucune nouvelle version de %s disponible.",
       "     \u041d\u043e\u0432\u043e\u0439 \u0432\u0435\u0440\u0441\u0438\u0438 %s \u043d\u0435\u0442.",
       "     Brak nowej wersji programu %s."},
      {"Die Suche nach Updates ist nicht m\u00f6glich, da der Update-Server nicht erreichbar ist.",
       "Unable to search for updates since the Update Server is not available.",
       "Impossible de rechercher des mises \u00e0 jour, car le serveur de mises \u00e0 jour n'est pas disponible.",
       "\u041f\u043e\u0438\u0441\u043a \u043e\u0431\u043d\u043e\u0432\u043b\u0435\u043d\u0438\u0439 "
       "\u043d\u0435\u0432\u043e\u0437\u043c\u043e\u0436\u0435\u043d: \u0441\u0435\u0440\u0432\u0435\u0440 "
       "\u043e\u0431\u043d\u043e\u0432\u043b\u0435\u043d\u0438\u0439 \u043d\u0435\u0434\u043e\u0441\u0442\u0443\u043f"
       "\u0435\u043d.",
       "Nie mo\u017cna wyszuka\u0107 aktualizacji, poniewa\u017c serwer aktualizacji jest niedost\u0119pny."},
      {"Die Suche nach Updates ist nicht m\u00f6glich, da keine Internetverbindung besteht.",
       "Unable to search for updates since there is no Internet connection.",
       "Impossible de rechercher des mises \u00e0 jour, car il n'y a pas de connexion Internet.",
       "\u041f\u043e\u0438\u0441\u043a \u043e\u0431\u043d\u043e\u0432\u043b\u0435\u043d\u0438\u0439 "
       "\u043d\u0435\u0432\u043e\u0437\u043c\u043e\u0436\u0435\u043d: \u043d\u0435\u0442 "
       "\u043f\u043e\u0434\u043a\u043b\u044e\u0447\u0435\u043d\u0438\u044f \u043a "
       "\u0418\u043d\u0442\u0435\u0440\u043d\u0435\u0442\u0443.",
       "Nie mo\u017cna wyszuka\u0107 aktualizacji, poniewa\u017c brak po\u0142\u0105czenia z Internetem."},
      {"&Ja", "&Yes", "&Oui", "&\u0414\u0430", "&Tak"},
      {"&Nein", "&No", "&Non", "&\u041d\u0435\u0442", "&Nie"},
  }};
  return texts;
}

}  // namespace

UpdateLanguage languageFromCode(std::string_view code) {
  if (code == "de") return UpdateLanguage::De;
  if (code == "en" || code == "it" || code == "sp") return UpdateLanguage::En;
  if (code == "fr") return UpdateLanguage::Fr;
  if (code == "ru") return UpdateLanguage::Ru;
  if (code == "pl") return UpdateLanguage::Pl;
  return UpdateLanguage::De;
}

const std::string& updateText(UpdateText id, UpdateLanguage language) {
  return table()[static_cast<size_t>(id)][static_cast<size_t>(language)];
}

std::string versionText(int version) {
  // version / 1000 with three decimals is exact in integers: no rounding.
  char buf[24];
  long long v = version;
  bool negative = v < 0;
  if (negative) v = -v;
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v / 1000);
  std::string out = negative ? "-" : "";
  out.append(buf, end);
  out += '.';
  int frac = static_cast<int>(v % 1000);
  out += static_cast<char>('0' + frac / 100);
  out += static_cast<char>('0' + frac / 10 % 10);
  out += static_cast<char>('0' + frac % 10);
  return out;
}

std::string formatText(std::string_view format, std::string_view name, int version) {
  std::string out;
  out.reserve(format.size() + name.size() + 8);
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      out += format[i];
    } else if (format.substr(i, 2) == "%s") {
      out += name;
      ++i;
    } else if (format.substr(i, 4) == "%.3f") {
      out += versionText(version);
      i += 3;
    } else if (format.substr(i, 2) == "%%") {
      out += '%';
      ++i;
    } else {
      out += '%';
    }
  }
  return out;
}

}  // namespace vltrx::update
