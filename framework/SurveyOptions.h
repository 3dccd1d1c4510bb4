// Option records of the surveying formats: GSI ("GSI") and REB DA30, DA45,
// DA49 ("REB").
#pragma once

#include <cstdint>

#include "framework/FormatOptions.h"

namespace vltrx {

struct GsiOptions : FormatOptions {
  int wordIndexComment = 71;   ///< GSI_In_WordIndex_Comment, 0 = not read
  int wordIndexCategory = 0;   ///< GSI_In_WordIndex_Category, 0 = not read

  GsiOptions() : FormatOptions("GSI") {}
  void reset(int scope = kResetBoth) override;
  /// The input scale is kept under "GSI_InScaleFactor".
  void bind(OptionBindings& out) override;
};

/// Record kinds of RebOptions::outTypes.
enum RebRecordKind : uint32_t { kRebDa30 = 1, kRebDa45 = 2, kRebDa49 = 4 };

struct RebOptions : FormatOptions {
  uint32_t outTypes = kRebDa30;  ///< REB_OutType, bit set of RebRecordKind
  int outKz = 10;                ///< REB_Out_KZ, horizon id 10..89

  RebOptions() : FormatOptions("REB") {}
  void reset(int scope = kResetBoth) override;
  void bind(OptionBindings& out) override;
};

}  // namespace vltrx
