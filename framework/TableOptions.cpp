// CSV and TXT option values and the checks of delimiter and layout texts.
#include "framework/TableOptions.h"

#include <cctype>

namespace vltrx {

bool parseDelimiterText(std::string_view text, char& code) {
  std::string l(text);
  for (char& ch : l) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (l == "ws") {
    code = kDelimiterWs;
    return true;
  }
  if (l == "tab" || text == "\t") {
    code = kDelimiterTab;
    return true;
  }
  // Any other single character stands for itself (digits and quotes
  // included); only NUL cannot be stored as a one-character value.
  if (text.size() != 1 || text[0] == '\0') return false;
  code = text[0];
  return true;
}

bool parseDecimalText(std::string_view text, char& decimal) {
  if (text != "." && text != ",") return false;
  decimal = text[0];
  return true;
}

bool isValidTxtLayout(std::string_view layout, bool input) {
  if (layout.empty()) return false;
  std::string_view allowed = input ? "#XYZNEIPK" : "#XYZNEICPK";
  int xy = 0, ne = 0;
  for (char ch : layout) {
    char u = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (allowed.find(u) == std::string_view::npos) return false;
    if (u == 'X' || u == 'Y') ++xy;
    if (u == 'N' || u == 'E') ++ne;
  }
  return xy == 2 || ne == 2;
}

namespace {

// The table formats list their own values before the common ones; the
// labels and tooltips are those of their option dialogs.
constexpr OptionField kCsvFields[] = {
    {"CSV_In_Delimiter", kInputSide, optionField<&CsvOptions::inDelimiter>(), ';', {}, 257, 261},
    {"CSV_In_Decimal", kInputSide, optionField<&CsvOptions::inDecimal>(), systemDecimalSeparator, {}, 258, 262},
    {"CSV_In_PIDReduce", kInputSide, optionField<&CsvOptions::inPidReduce>(), false, {}, 259, 263},
    {"CSV_Out_Delimiter", kOutputSide, optionField<&CsvOptions::outDelimiter>(), ';', {}, 257, 261},
    {"CSV_Out_Decimal", kOutputSide, optionField<&CsvOptions::outDecimal>(), systemDecimalSeparator, {}, 258, 262},
};

constexpr OptionField kTxtFields[] = {
    {"TXT_In_Delimiter", kInputSide, optionField<&TxtOptions::inDelimiter>(), kDelimiterWs, {}, 257, 261},
    {"TXT_In_Decimal", kInputSide, optionField<&TxtOptions::inDecimal>(), '.', {}, 258, 262},
    {"TXT_In_Format", kInputSide, optionField<&TxtOptions::inFormat>(), "#XYZ", {}, 260, 264},
    {"TXT_In_PIDReduce", kInputSide, optionField<&TxtOptions::inPidReduce>(), false, {}, 259, 263},
    {"TXT_Out_Delimiter", kOutputSide, optionField<&TxtOptions::outDelimiter>(), kDelimiterTab, {}, 257, 261},
    {"TXT_Out_Decimal", kOutputSide, optionField<&TxtOptions::outDecimal>(), '.', {}, 258, 262},
    {"TXT_Out_Format", kOutputSide, optionField<&TxtOptions::outFormat>(), "#XYZ", {}, 260, 266},
};

constexpr OptionDeclaration kCsvDeclaration{"CSV", kCsvFields, CommonValues::Last};
constexpr OptionDeclaration kTxtDeclaration{"TXT", kTxtFields, CommonValues::Last};

}  // namespace

const OptionDeclaration& CsvOptions::declaration() const { return kCsvDeclaration; }

const OptionDeclaration& TxtOptions::declaration() const { return kTxtDeclaration; }

}  // namespace vltrx
