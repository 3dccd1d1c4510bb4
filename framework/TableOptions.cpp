// CSV and TXT option values.
#include "framework/TableOptions.h"

namespace vltrx {

using Kind = OptionBinding::Kind;

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
