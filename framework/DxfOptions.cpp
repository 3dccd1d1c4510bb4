// DXF option values: names, sides and defaults, and the checks applied after
// loading.
#include "framework/DxfOptions.h"

namespace vltrx {
namespace {

// Record order after the common values, with the labels and tooltips of
// the DXF option dialogs. The four text heights and the
// point-id search distance are stored signed: a negative height is a
// percentage of the plan's y extent, a negative distance ignores z.
constexpr OptionField kDxfFields[] = {
    // Import.
    {"DXF_Approx", kInputSide, optionField<&DxfOptions::approx>(), 0.01, {}, 147, 211},
    {"DXF_Epsilon", kInputSide, optionField<&DxfOptions::epsilon>(), 0.005, {}, 148, 212},
    {"DXF_ImportAllLayers", kInputSide, optionField<&DxfOptions::importAllLayers>(), true, {}, 144, 209},
    {"DXF_ImportAllLayersWithoutAssignment", kInputSide,
     optionField<&DxfOptions::importAllLayersWithoutAssignment>(), false, {}, 145, 210},
    {"DXF_CPFactor", kInputSide, optionField<&DxfOptions::cpFactor>(), 1.5, {}, 153, 217},
    {"DXF_CPMethod", kInputSide, optionField<&DxfOptions::cpMethod>(), kCentrePointsByFactor, {}, 149, 213},
    {"DXF_ImportBlocks", kInputSide, optionField<&DxfOptions::importBlocks>(), true, {}, 155, 218},
    {"DXF_ImportBlocksAnchorPoints", kInputSide,
     optionField<&DxfOptions::importBlocksAnchorPoints>(), true, {}, 156, 219},
    {"DXF_PID_Import", kInputSide, optionField<&DxfOptions::pidImport>(), false, {}, 159, 221},
    {"DXF_PID_ImportSource", kInputSide, optionField<&DxfOptions::pidImportSource>(), kPidFromTexts, {}, 160, 222},
    {"DXF_PID_ImportEpsilon", kInputSide, optionField<&DxfOptions::pidImportEpsilon>(), 0.005,
     optionField<&DxfOptions::pidImportIgnoreZ>(), 166, 223},
    {"DXF_PID_BlockAttribute", kInputSide, optionField<&DxfOptions::pidBlockAttribute>(), "VL_PID", {}, 169, 226},
    {"DXF_PID_BlockTextNumber", kInputSide, optionField<&DxfOptions::pidBlockTextNumber>(), 1, {}, 170, 227},
    {"DXF_PID_ImportLayer", kInputSide, optionField<&DxfOptions::pidImportLayer>(), "VL_PID", {}, 168, 225},
    {"DXF_PID_LineNumber", kInputSide, optionField<&DxfOptions::pidLineNumber>(), 1, {}, 171, 228},
    {"DXF_In_ImportProxyGraphicsAnchorPoints", kInputSide, optionField<&DxfOptions::importProxyAnchorPoints>(),
     false, {}, 157, 220},
    {"", kInputSide, optionField<&DxfOptions::keepVlPrefix>(), false},  // -keepvl, one run only

    // Export.
    {"DXF_Out_AddPolyPoints", kOutputSide, optionField<&DxfOptions::addPolyPoints>(), false, {}, 176, 232},
    {"DXF_Out_AddVLLayerPrefix", kOutputSide, optionField<&DxfOptions::addVlLayerPrefix>(), true, {}, 177, 233},
    {"DXF_Coord", kOutputSide, optionField<&DxfOptions::coord, &TextLabelOptions::enabled>(), false, {}, 193, 237},
    {"DXF_CoordHeight", kOutputSide, optionField<&DxfOptions::coord, &TextLabelOptions::height>(), 0.01,
     optionField<&DxfOptions::coord, &TextLabelOptions::relative>(), 196, 240},
    {"DXF_Coord_OrigLayer", kOutputSide,
     optionField<&DxfOptions::coord, &TextLabelOptions::origLayer>(), false, {}, 198, 241},
    {"DXF_Coord_Layer", kOutputSide,
     optionField<&DxfOptions::coord, &TextLabelOptions::layer>(), "VL_COORD", {}, 197, 241},
    {"DXF_CoordFormat", kOutputSide, optionField<&DxfOptions::coordFormat>(), "(%x %y)", {}, 205, 243},
    {"DXF_Coord_Orientation", kOutputSide,
     optionField<&DxfOptions::coord, &TextLabelOptions::orientation>(), 0, {}, 199, 242},
    {"DXF_Text", kOutputSide, optionField<&DxfOptions::text, &TextLabelOptions::enabled>(), false, {}, 195, 239},
    {"DXF_TextHeight", kOutputSide, optionField<&DxfOptions::text, &TextLabelOptions::height>(), 0.01,
     optionField<&DxfOptions::text, &TextLabelOptions::relative>(), 196, 240},
    {"DXF_Text_ForceHeight", kOutputSide, optionField<&DxfOptions::textForceHeight>(), false, {}, 206, 244},
    {"DXF_PID", kOutputSide, optionField<&DxfOptions::pid, &TextLabelOptions::enabled>(), false, {}, 192, 236},
    {"DXF_PIDHeight", kOutputSide, optionField<&DxfOptions::pid, &TextLabelOptions::height>(), 0.01,
     optionField<&DxfOptions::pid, &TextLabelOptions::relative>(), 196, 240},
    {"DXF_PID_OrgLayer", kOutputSide,
     optionField<&DxfOptions::pid, &TextLabelOptions::origLayer>(), false, {}, 198, 241},
    {"DXF_PID_Layer", kOutputSide, optionField<&DxfOptions::pid, &TextLabelOptions::layer>(), "VL_PID", {}, 197, 241},
    {"DXF_PID_Orientation", kOutputSide,
     optionField<&DxfOptions::pid, &TextLabelOptions::orientation>(), 0, {}, 199, 242},
    {"DXF_Comment", kOutputSide, optionField<&DxfOptions::comment, &TextLabelOptions::enabled>(), false, {}, 194, 238},
    {"DXF_Out_Comment_OrigLayer", kOutputSide, optionField<&DxfOptions::comment, &TextLabelOptions::origLayer>(),
     false, {}, 198, 241},
    {"DXF_Comment_Layer", kOutputSide,
     optionField<&DxfOptions::comment, &TextLabelOptions::layer>(), "VL_COMMENT", {}, 197, 241},
    {"DXF_Comment_Height", kOutputSide, optionField<&DxfOptions::comment, &TextLabelOptions::height>(), 0.01,
     optionField<&DxfOptions::comment, &TextLabelOptions::relative>(), 196, 240},
    {"DXF_Comment_Orientation", kOutputSide, optionField<&DxfOptions::comment, &TextLabelOptions::orientation>(),
     0, {}, 199, 242},
    {"DXF_PDMODE", kOutputSide, optionField<&DxfOptions::pdMode>(), 0, {}, 179, 234},
    {"DXF_PDSIZE", kOutputSide, optionField<&DxfOptions::pdSize>(), 0.0, {}, 180, 235},
    // Text objects take only the height; their layer and orientation stay unused.
    {"", kOutputSide, optionField<&DxfOptions::text, &TextLabelOptions::origLayer>(), false},
    {"", kOutputSide, optionField<&DxfOptions::text, &TextLabelOptions::layer>(), ""},
    {"", kOutputSide, optionField<&DxfOptions::text, &TextLabelOptions::orientation>(), 0},
};

constexpr OptionDeclaration kDxfDeclaration{"DXF", kDxfFields, CommonValues::First};

}  // namespace

const OptionDeclaration& DxfOptions::declaration() const { return kDxfDeclaration; }

void DxfOptions::load(const SettingsKey& key, bool readRegistry) {
  FormatOptions::load(key, readRegistry);
  if (pidBlockTextNumber < 1) pidBlockTextNumber = 1;
  if (pidLineNumber < 1) pidLineNumber = 1;
}

}  // namespace vltrx
