// DXF option values: names, sides and defaults, and the checks applied after
// loading.
#include "framework/DxfOptions.h"

namespace vltrx {
namespace {

// Record order after the common values. The four text heights and the
// point-id search distance are stored signed: a negative height is a
// percentage of the plan's y extent, a negative distance ignores z.
constexpr OptionField kDxfFields[] = {
    // Import.
    {"DXF_Approx", kInputSide, optionField<&DxfOptions::approx>(), 0.01},
    {"DXF_Epsilon", kInputSide, optionField<&DxfOptions::epsilon>(), 0.005},
    {"DXF_ImportAllLayers", kInputSide, optionField<&DxfOptions::importAllLayers>(), true},
    {"DXF_ImportAllLayersWithoutAssignment", kInputSide,
     optionField<&DxfOptions::importAllLayersWithoutAssignment>(), false},
    {"DXF_CPFactor", kInputSide, optionField<&DxfOptions::cpFactor>(), 1.5},
    {"DXF_CPMethod", kInputSide, optionField<&DxfOptions::cpMethod>(), kCentrePointsByFactor},
    {"DXF_ImportBlocks", kInputSide, optionField<&DxfOptions::importBlocks>(), true},
    {"DXF_ImportBlocksAnchorPoints", kInputSide, optionField<&DxfOptions::importBlocksAnchorPoints>(), true},
    {"DXF_PID_Import", kInputSide, optionField<&DxfOptions::pidImport>(), false},
    {"DXF_PID_ImportSource", kInputSide, optionField<&DxfOptions::pidImportSource>(), kPidFromTexts},
    {"DXF_PID_ImportEpsilon", kInputSide, optionField<&DxfOptions::pidImportEpsilon>(), 0.005,
     optionField<&DxfOptions::pidImportIgnoreZ>()},
    {"DXF_PID_BlockAttribute", kInputSide, optionField<&DxfOptions::pidBlockAttribute>(), "VL_PID"},
    {"DXF_PID_BlockTextNumber", kInputSide, optionField<&DxfOptions::pidBlockTextNumber>(), 1},
    {"DXF_PID_ImportLayer", kInputSide, optionField<&DxfOptions::pidImportLayer>(), "VL_PID"},
    {"DXF_PID_LineNumber", kInputSide, optionField<&DxfOptions::pidLineNumber>(), 1},
    {"DXF_In_ImportProxyGraphicsAnchorPoints", kInputSide, optionField<&DxfOptions::importProxyAnchorPoints>(),
     false},
    {"", kInputSide, optionField<&DxfOptions::keepVlPrefix>(), false},  // -keepvl, one run only

    // Export.
    {"DXF_Out_AddPolyPoints", kOutputSide, optionField<&DxfOptions::addPolyPoints>(), false},
    {"DXF_Out_AddVLLayerPrefix", kOutputSide, optionField<&DxfOptions::addVlLayerPrefix>(), true},
    {"DXF_Coord", kOutputSide, optionField<&DxfOptions::coord, &TextLabelOptions::enabled>(), false},
    {"DXF_CoordHeight", kOutputSide, optionField<&DxfOptions::coord, &TextLabelOptions::height>(), 0.01,
     optionField<&DxfOptions::coord, &TextLabelOptions::relative>()},
    {"DXF_Coord_OrigLayer", kOutputSide, optionField<&DxfOptions::coord, &TextLabelOptions::origLayer>(), false},
    {"DXF_Coord_Layer", kOutputSide, optionField<&DxfOptions::coord, &TextLabelOptions::layer>(), "VL_COORD"},
    {"DXF_CoordFormat", kOutputSide, optionField<&DxfOptions::coordFormat>(), "(%x %y)"},
    {"DXF_Coord_Orientation", kOutputSide, optionField<&DxfOptions::coord, &TextLabelOptions::orientation>(), 0},
    {"DXF_Text", kOutputSide, optionField<&DxfOptions::text, &TextLabelOptions::enabled>(), false},
    {"DXF_TextHeight", kOutputSide, optionField<&DxfOptions::text, &TextLabelOptions::height>(), 0.01,
     optionField<&DxfOptions::text, &TextLabelOptions::relative>()},
    {"DXF_Text_ForceHeight", kOutputSide, optionField<&DxfOptions::textForceHeight>(), false},
    {"DXF_PID", kOutputSide, optionField<&DxfOptions::pid, &TextLabelOptions::enabled>(), false},
    {"DXF_PIDHeight", kOutputSide, optionField<&DxfOptions::pid, &TextLabelOptions::height>(), 0.01,
     optionField<&DxfOptions::pid, &TextLabelOptions::relative>()},
    {"DXF_PID_OrgLayer", kOutputSide, optionField<&DxfOptions::pid, &TextLabelOptions::origLayer>(), false},
    {"DXF_PID_Layer", kOutputSide, optionField<&DxfOptions::pid, &TextLabelOptions::layer>(), "VL_PID"},
    {"DXF_PID_Orientation", kOutputSide, optionField<&DxfOptions::pid, &TextLabelOptions::orientation>(), 0},
    {"DXF_Comment", kOutputSide, optionField<&DxfOptions::comment, &TextLabelOptions::enabled>(), false},
    {"DXF_Out_Comment_OrigLayer", kOutputSide, optionField<&DxfOptions::comment, &TextLabelOptions::origLayer>(),
     false},
    {"DXF_Comment_Layer", kOutputSide, optionField<&DxfOptions::comment, &TextLabelOptions::layer>(), "VL_COMMENT"},
    {"DXF_Comment_Height", kOutputSide, optionField<&DxfOptions::comment, &TextLabelOptions::height>(), 0.01,
     optionField<&DxfOptions::comment, &TextLabelOptions::relative>()},
    {"DXF_Comment_Orientation", kOutputSide, optionField<&DxfOptions::comment, &TextLabelOptions::orientation>(),
     0},
    {"DXF_PDMODE", kOutputSide, optionField<&DxfOptions::pdMode>(), 0},
    {"DXF_PDSIZE", kOutputSide, optionField<&DxfOptions::pdSize>(), 0.0},
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
