// GSI and REB option values.
#include "framework/SurveyOptions.h"

namespace vltrx {

namespace {

// Dialog: labels 253 and 254 with the tooltips 255 and 256 ("A zero word
// index means no reading of the value.").
constexpr OptionField kGsiFields[] = {
    {"GSI_In_WordIndex_Comment", kInputSide, optionField<&GsiOptions::wordIndexComment>(), 71, {}, 253, 255},
    {"GSI_In_WordIndex_Category", kInputSide, optionField<&GsiOptions::wordIndexCategory>(), 0, {}, 254, 256},
};

// Dialog: "Type of coordinate folder:" (273) over the record types, whose
// check boxes carry the tooltips 277 (DA30), 278 (DA45) and 276 (DA49);
// "Horizon ID (10-89)" (272).
constexpr OptionField kRebFields[] = {
    {"REB_OutType", kOutputSide, optionField<&RebOptions::outTypes>(), kRebDa30, {}, 273},
    {"REB_Out_KZ", kOutputSide, optionField<&RebOptions::outKz>(), 10, {}, 272, 275},
};

// The GSI reader has always kept its input scale without "_" after "In".
constexpr OptionDeclaration kGsiDeclaration{"GSI", kGsiFields, CommonValues::Last, "GSI_InScaleFactor"};
constexpr OptionDeclaration kRebDeclaration{"REB", kRebFields, CommonValues::Last};

}  // namespace

const OptionDeclaration& GsiOptions::declaration() const { return kGsiDeclaration; }

const OptionDeclaration& RebOptions::declaration() const { return kRebDeclaration; }

}  // namespace vltrx
