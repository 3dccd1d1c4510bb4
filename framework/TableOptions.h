// Option records of the two table formats: spreadsheet tables ("CSV") and
// text tables with a user field layout ("TXT").
#pragma once

#include <string>

#include "core/DelimiterCodes.h"
#include "framework/FormatOptions.h"

namespace vltrx {

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
