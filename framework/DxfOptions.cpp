// DXF option values: names, kinds and the checks applied after loading.
#include "framework/DxfOptions.h"

namespace vltrx {

using Kind = OptionBinding::Kind;

void DxfOptions::reset(int scope) {
  const DxfOptions d;
  if (scope == kResetBoth || scope == kResetInput) {
    approx = d.approx;
    epsilon = d.epsilon;
    importAllLayers = d.importAllLayers;
    importAllLayersWithoutAssignment = d.importAllLayersWithoutAssignment;
    cpFactor = d.cpFactor;
    cpMethod = d.cpMethod;
    importBlocks = d.importBlocks;
    importBlocksAnchorPoints = d.importBlocksAnchorPoints;
    pidImport = d.pidImport;
    pidImportSource = d.pidImportSource;
    pidImportEpsilon = d.pidImportEpsilon;
    pidImportIgnoreZ = d.pidImportIgnoreZ;
    pidBlockAttribute = d.pidBlockAttribute;
    pidBlockTextNumber = d.pidBlockTextNumber;
    pidImportLayer = d.pidImportLayer;
    pidLineNumber = d.pidLineNumber;
    importProxyAnchorPoints = d.importProxyAnchorPoints;
    keepVlPrefix = d.keepVlPrefix;
  }
  if (scope == kResetBoth || scope == kResetOutput) {
    addPolyPoints = d.addPolyPoints;
    addVlLayerPrefix = d.addVlLayerPrefix;
    coord = d.coord;
    coordFormat = d.coordFormat;
    text = d.text;
    textForceHeight = d.textForceHeight;
    pid = d.pid;
    comment = d.comment;
    pdMode = d.pdMode;
    pdSize = d.pdSize;
  }
  FormatOptions::reset(scope);
  keyPrefix = "DXF";
}

void DxfOptions::load(const SettingsKey& key, bool readRegistry) {
  FormatOptions::load(key, readRegistry);
  if (pidBlockTextNumber < 1) pidBlockTextNumber = 1;
  if (pidLineNumber < 1) pidLineNumber = 1;
}

void DxfOptions::bind(OptionBindings& out) {
  bindCommon(out);
  auto add = [&out](const char* name, Kind kind, bool input, void* field, bool* sign = nullptr) {
    out.push_back({name, kind, input, field, sign});
  };
  add("DXF_Approx", Kind::Double, true, &approx);
  add("DXF_Epsilon", Kind::Double, true, &epsilon);
  add("DXF_ImportAllLayers", Kind::Bool, true, &importAllLayers);
  add("DXF_ImportAllLayersWithoutAssignment", Kind::Bool, true, &importAllLayersWithoutAssignment);
  add("DXF_CPFactor", Kind::Double, true, &cpFactor);
  add("DXF_CPMethod", Kind::Int, true, &cpMethod);
  add("DXF_ImportBlocks", Kind::Bool, true, &importBlocks);
  add("DXF_ImportBlocksAnchorPoints", Kind::Bool, true, &importBlocksAnchorPoints);
  add("DXF_PID_Import", Kind::Bool, true, &pidImport);
  add("DXF_PID_ImportSource", Kind::Int, true, &pidImportSource);
  add("DXF_PID_ImportEpsilon", Kind::SignedDouble, true, &pidImportEpsilon, &pidImportIgnoreZ);
  add("DXF_PID_BlockAttribute", Kind::String, true, &pidBlockAttribute);
  add("DXF_PID_BlockTextNumber", Kind::Int, true, &pidBlockTextNumber);
  add("DXF_PID_ImportLayer", Kind::String, true, &pidImportLayer);
  add("DXF_PID_LineNumber", Kind::Int, true, &pidLineNumber);
  add("DXF_In_ImportProxyGraphicsAnchorPoints", Kind::Bool, true, &importProxyAnchorPoints);

  add("DXF_Out_AddPolyPoints", Kind::Bool, false, &addPolyPoints);
  add("DXF_Out_AddVLLayerPrefix", Kind::Bool, false, &addVlLayerPrefix);
  add("DXF_Coord", Kind::Bool, false, &coord.enabled);
  add("DXF_CoordHeight", Kind::SignedDouble, false, &coord.height, &coord.relative);
  add("DXF_Coord_OrigLayer", Kind::Bool, false, &coord.origLayer);
  add("DXF_Coord_Layer", Kind::String, false, &coord.layer);
  add("DXF_CoordFormat", Kind::String, false, &coordFormat);
  add("DXF_Coord_Orientation", Kind::Int, false, &coord.orientation);
  add("DXF_Text", Kind::Bool, false, &text.enabled);
  add("DXF_TextHeight", Kind::SignedDouble, false, &text.height, &text.relative);
  add("DXF_Text_ForceHeight", Kind::Bool, false, &textForceHeight);
  add("DXF_PID", Kind::Bool, false, &pid.enabled);
  add("DXF_PIDHeight", Kind::SignedDouble, false, &pid.height, &pid.relative);
  add("DXF_PID_OrgLayer", Kind::Bool, false, &pid.origLayer);
  add("DXF_PID_Layer", Kind::String, false, &pid.layer);
  add("DXF_PID_Orientation", Kind::Int, false, &pid.orientation);
  add("DXF_Comment", Kind::Bool, false, &comment.enabled);
  add("DXF_Out_Comment_OrigLayer", Kind::Bool, false, &comment.origLayer);
  add("DXF_Comment_Layer", Kind::String, false, &comment.layer);
  add("DXF_Comment_Height", Kind::SignedDouble, false, &comment.height, &comment.relative);
  add("DXF_Comment_Orientation", Kind::Int, false, &comment.orientation);
  add("DXF_PDMODE", Kind::Int, false, &pdMode);
  add("DXF_PDSIZE", Kind::Double, false, &pdSize);
}

}  // namespace vltrx
