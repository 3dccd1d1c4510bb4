// Option records of the surveying formats: GSI ("GSI") and REB DA30, DA45,
// DA49 ("REB").
#pragma once

#include <cstdint>

#include "framework/FormatOptions.h"

namespace vltrx {

/// The input scale is kept under "GSI_InScaleFactor".
struct GsiOptions : FormatOptions {
  int wordIndexComment;   ///< GSI_In_WordIndex_Comment, 0 = not read; 71
  int wordIndexCategory;  ///< GSI_In_WordIndex_Category, 0 = not read; 0

  GsiOptions() { reset(); }
  const OptionDeclaration& declaration() const override;
};

/// Record kinds of RebOptions::outTypes.
enum RebRecordKind : uint32_t { kRebDa30 = 1, kRebDa45 = 2, kRebDa49 = 4 };

struct RebOptions : FormatOptions {
  uint32_t outTypes;  ///< REB_OutType, bit set of RebRecordKind; DA30
  int outKz;          ///< REB_Out_KZ, horizon id 10..89; 10

  RebOptions() { reset(); }
  const OptionDeclaration& declaration() const override;
};

}  // namespace vltrx
