// The update check's own texts, the buttons of its notification included,
// in German, English, French, Russian and Polish, and the language codes
// that select them. The module is self-contained: it does not use the
// converter's message table.
#pragma once

#include <string>
#include <string_view>

namespace vltrx::update {

enum class UpdateLanguage { De, En, Fr, Ru, Pl };

enum class UpdateText {
  ProgressLine,   // "Looking for update of %s..."
  ProgressTitle,  // "Looking for updates..."
  OfferTitle,     // "%s Update"
  OfferQuestion,  // "A new version V%.3f of %s is available. ..."
  NewVersion,     // "     New version %.3f available"
  DontRemind,     // "Don't remind again for this version"
  NoNewVersion,   // "     No new version of %s available."
  ServiceDown,    // "Unable to search ... Update Server is not available."
  NoInternet,     // "Unable to search ... no Internet connection."
  Yes,            // the buttons of the notification
  No,
};

/// The language of a code: "de", "en", "fr", "ru", "pl"; "it" and "sp"
/// (known to the converter, without texts here) give English; any other
/// code gives German.
UpdateLanguage languageFromCode(std::string_view code);

/// The text in a language, with its printf-style fields still in it.
const std::string& updateText(UpdateText id, UpdateLanguage language);

/// Fills the fields of a text: each "%s" takes the next string, each
/// "%.3f" a version (times 1000) shown with three decimals, "%%" a percent.
/// Numbers are formatted without the process locale.
std::string formatText(std::string_view format, std::string_view name, int version = 0);

/// A version times 1000 shown as "%.3f" of version / 1000: 3400 -> "3.400".
std::string versionText(int version);

}  // namespace vltrx::update
