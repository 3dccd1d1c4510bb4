// Option records of the two table formats: spreadsheet tables ("CSV") and
// text tables with a user field layout ("TXT").
#pragma once

#include <string>
#include <string_view>

#include "core/DelimiterCodes.h"
#include "framework/FormatOptions.h"

namespace vltrx {

/// Reads a field delimiter as the command line and the option dialogs take
/// it: "WS" or "TAB" in either case, a tab character, or any other single
/// character, into its stored code. False when the text cannot be read.
bool parseDelimiterText(std::string_view text, char& code);

/// Reads a decimal delimiter: "." or ",". False for anything else.
bool parseDecimalText(std::string_view text, char& decimal);

/// True when a TXT field layout is valid for the direction: every character,
/// in either case, one of "#XYZNEIPK" (input) or "#XYZNEICPK" (output), and
/// exactly two of the letters X and Y or exactly two of N and E.
bool isValidTxtLayout(std::string_view layout, bool input);

/// Defaults: ";" and the locale's decimal separator in both directions.
struct CsvOptions : FormatOptions {
  char inDelimiter;   ///< CSV_In_Delimiter (code)
  char inDecimal;     ///< CSV_In_Decimal, '.' or ','
  bool inPidReduce;   ///< CSV_In_PIDReduce
  char outDelimiter;  ///< CSV_Out_Delimiter (code)
  char outDecimal;    ///< CSV_Out_Decimal

  CsvOptions() { reset(); }
  const OptionDeclaration& declaration() const override;
};

/// Defaults: WS in, TAB out, ".", layout "#XYZ".
struct TxtOptions : FormatOptions {
  char inDelimiter;       ///< TXT_In_Delimiter (code)
  char inDecimal;         ///< TXT_In_Decimal
  std::string inFormat;   ///< TXT_In_Format
  bool inPidReduce;       ///< TXT_In_PIDReduce
  char outDelimiter;      ///< TXT_Out_Delimiter (code)
  char outDecimal;        ///< TXT_Out_Decimal
  std::string outFormat;  ///< TXT_Out_Format

  TxtOptions() { reset(); }
  const OptionDeclaration& declaration() const override;
};

}  // namespace vltrx
