// CSV and TXT option values and the checks of delimiter and layout texts.
#include "framework/TableOptions.h"

#include <cctype>

namespace vltrx {

using Kind = OptionBinding::Kind;

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
  // A single printable character; digits, the decimal characters, quotes and
  // minus would make the fields unreadable.
  if (text.size() != 1) return false;
  unsigned char c = static_cast<unsigned char>(text[0]);
  if (c < 0x20 || c >= 0x7F || std::isdigit(c) || c == '"' || c == '.' || c == '-' || c == '+') return false;
  code = static_cast<char>(c);
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

void CsvOptions::reset(int scope) {
  const CsvOptions d;
  if (scope == kResetBoth || scope == kResetInput) {
    inDelimiter = d.inDelimiter;
    inDecimal = d.inDecimal;
    inPidReduce = d.inPidReduce;
  }
  if (scope == kResetBoth || scope == kResetOutput) {
    outDelimiter = d.outDelimiter;
    outDecimal = d.outDecimal;
  }
  FormatOptions::reset(scope);
  keyPrefix = "CSV";
}

void CsvOptions::bind(OptionBindings& out) {
  out.push_back({"CSV_In_Delimiter", Kind::Char, true, &inDelimiter, nullptr});
  out.push_back({"CSV_In_Decimal", Kind::Char, true, &inDecimal, nullptr});
  out.push_back({"CSV_In_PIDReduce", Kind::Bool, true, &inPidReduce, nullptr});
  out.push_back({"CSV_Out_Delimiter", Kind::Char, false, &outDelimiter, nullptr});
  out.push_back({"CSV_Out_Decimal", Kind::Char, false, &outDecimal, nullptr});
  bindCommon(out);
}

void TxtOptions::reset(int scope) {
  const TxtOptions d;
  if (scope == kResetBoth || scope == kResetInput) {
    inDelimiter = d.inDelimiter;
    inDecimal = d.inDecimal;
    inFormat = d.inFormat;
    inPidReduce = d.inPidReduce;
  }
  if (scope == kResetBoth || scope == kResetOutput) {
    outDelimiter = d.outDelimiter;
    outDecimal = d.outDecimal;
    outFormat = d.outFormat;
  }
  FormatOptions::reset(scope);
  keyPrefix = "TXT";
}

void TxtOptions::bind(OptionBindings& out) {
  out.push_back({"TXT_In_Delimiter", Kind::Char, true, &inDelimiter, nullptr});
  out.push_back({"TXT_In_Decimal", Kind::Char, true, &inDecimal, nullptr});
  out.push_back({"TXT_In_Format", Kind::String, true, &inFormat, nullptr});
  out.push_back({"TXT_In_PIDReduce", Kind::Bool, true, &inPidReduce, nullptr});
  out.push_back({"TXT_Out_Delimiter", Kind::Char, false, &outDelimiter, nullptr});
  out.push_back({"TXT_Out_Decimal", Kind::Char, false, &outDecimal, nullptr});
  out.push_back({"TXT_Out_Format", Kind::String, false, &outFormat, nullptr});
  bindCommon(out);
}

}  // namespace vltrx
