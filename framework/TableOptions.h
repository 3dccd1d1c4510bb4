// Option records of the two table formats: spreadsheet tables ("CSV") and
// text tables with a user field layout ("TXT").
#pragma once

#include <string>
#include <string_view>

#include "framework/FormatOptions.h"

namespace vltrx {

/// Stored delimiter codes: any run of blanks and tabs, and the tab.
inline constexpr char kDelimiterWs = 11;
inline constexpr char kDelimiterTab = 9;

/// Reads a field delimiter as the command line and the option dialogs take
/// it: "WS" or "TAB" in either case, a tab character, or one character, into
/// its stored code. False when the text cannot be read.
bool parseDelimiterText(std::string_view text, char& code);

/// Reads a decimal delimiter: "." or ",". False for anything else.
bool parseDecimalText(std::string_view text, char& decimal);

/// True when a TXT field layout is valid for the direction: every character,
/// in either case, one of "#XYZNEIPK" (input) or "#XYZNEICPK" (output), and
/// exactly two of the letters X and Y or exactly two of N and E.
bool isValidTxtLayout(std::string_view layout, bool input);

struct CsvOptions : FormatOptions {
  char inDelimiter = ';';                         ///< CSV_In_Delimiter (code)
  char inDecimal = systemDecimalSeparator();      ///< CSV_In_Decimal, '.' or ','
  bool inPidReduce = false;                       ///< CSV_In_PIDReduce
  char outDelimiter = ';';                        ///< CSV_Out_Delimiter (code)
  char outDecimal = systemDecimalSeparator();     ///< CSV_Out_Decimal

  CsvOptions() : FormatOptions("CSV") {}
  void reset(int scope = kResetBoth) override;
  void bind(OptionBindings& out) override;
};

struct TxtOptions : FormatOptions {
  char inDelimiter = kDelimiterWs;                ///< TXT_In_Delimiter (code)
  char inDecimal = '.';                           ///< TXT_In_Decimal
  std::string inFormat = "#XYZ";                  ///< TXT_In_Format
  bool inPidReduce = false;                       ///< TXT_In_PIDReduce
  char outDelimiter = kDelimiterTab;              ///< TXT_Out_Delimiter (code)
  char outDecimal = '.';                          ///< TXT_Out_Decimal
  std::string outFormat = "#XYZ";                 ///< TXT_Out_Format

  TxtOptions() : FormatOptions("TXT") {}
  void reset(int scope = kResetBoth) override;
  void bind(OptionBindings& out) override;
};

}  // namespace vltrx
