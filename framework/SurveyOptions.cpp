// GSI and REB option values.
#include "framework/SurveyOptions.h"

namespace vltrx {

using Kind = OptionBinding::Kind;

void GsiOptions::reset(int scope) {
  const GsiOptions d;
  if (scope == kResetBoth || scope == kResetInput) {
    wordIndexComment = d.wordIndexComment;
    wordIndexCategory = d.wordIndexCategory;
  }
  FormatOptions::reset(scope);
  keyPrefix = "GSI";
}

void GsiOptions::bind(OptionBindings& out) {
  out.push_back({"GSI_In_WordIndex_Comment", Kind::Int, true, &wordIndexComment, nullptr});
  out.push_back({"GSI_In_WordIndex_Category", Kind::Int, true, &wordIndexCategory, nullptr});
  // The GSI reader has always kept its input scale without "_" after "In".
  bindCommon(out, "GSI_InScaleFactor");
}

void RebOptions::reset(int scope) {
  const RebOptions d;
  if (scope == kResetBoth || scope == kResetOutput) {
    outTypes = d.outTypes;
    outKz = d.outKz;
  }
  FormatOptions::reset(scope);
  keyPrefix = "REB";
}

void RebOptions::bind(OptionBindings& out) {
  out.push_back({"REB_OutType", Kind::Dword, false, &outTypes, nullptr});
  out.push_back({"REB_Out_KZ", Kind::Int, false, &outKz, nullptr});
  bindCommon(out);
}

}  // namespace vltrx
