// Delimiter codes of the table formats as the option records store them: a
// character, or one of two codes for what a single character cannot say.
#pragma once

namespace vltrx {

/// Any run of blanks and tabs is one delimiter (written as one blank).
inline constexpr char kDelimiterWs = 11;
/// The tab character.
inline constexpr char kDelimiterTab = 9;

/// The character a delimiter code stands for in a line: a blank for WS, a tab
/// for TAB, the code itself otherwise.
constexpr char delimiterCharacter(char code) {
  return code == kDelimiterWs ? ' ' : code == kDelimiterTab ? '\t' : code;
}

}  // namespace vltrx
