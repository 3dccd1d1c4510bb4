// Option record of the DXF reader and writer ("DXF"): curve approximation,
// layer and block import, point-id import, export layers and label texts.
#pragma once

#include <string>

#include "framework/FormatOptions.h"

namespace vltrx {

/// Centre-point methods of DxfOptions::cpMethod.
enum CentrePointMethod : int { kCentrePointsNone = 0, kCentrePointsAll = 1, kCentrePointsByFactor = 2 };

/// Sources of the point-id import (DxfOptions::pidImportSource).
enum PidImportSource : int { kPidFromTexts = 0, kPidFromBlockTexts = 1, kPidFromBlockAttributes = 2 };

struct DxfOptions : FormatOptions {
  // Import.
  double approx = 0.01;                          ///< DXF_Approx, metres
  double epsilon = 0.005;                        ///< DXF_Epsilon, metres
  bool importAllLayers = true;                   ///< DXF_ImportAllLayers
  bool importAllLayersWithoutAssignment = false; ///< DXF_ImportAllLayersWithoutAssignment
  double cpFactor = 1.5;                         ///< DXF_CPFactor
  int cpMethod = kCentrePointsByFactor;          ///< DXF_CPMethod
  bool importBlocks = true;                      ///< DXF_ImportBlocks
  bool importBlocksAnchorPoints = true;          ///< DXF_ImportBlocksAnchorPoints

  // Point-id import group (DXF_In_PID_AlphaNum is the common inAlphaNumIds).
  bool pidImport = false;                        ///< DXF_PID_Import
  int pidImportSource = kPidFromTexts;           ///< DXF_PID_ImportSource
  double pidImportEpsilon = 0.005;               ///< |DXF_PID_ImportEpsilon|
  bool pidImportIgnoreZ = false;                 ///< DXF_PID_ImportEpsilon was negative
  std::string pidBlockAttribute = "VL_PID";      ///< DXF_PID_BlockAttribute
  int pidBlockTextNumber = 1;                    ///< DXF_PID_BlockTextNumber, at least 1
  std::string pidImportLayer = "VL_PID";         ///< DXF_PID_ImportLayer; "*" all, "&" plan-data layers
  int pidLineNumber = 1;                         ///< DXF_PID_LineNumber, at least 1

  bool importProxyAnchorPoints = false;          ///< DXF_In_ImportProxyGraphicsAnchorPoints
  bool keepVlPrefix = false;                     ///< -keepvl, command line only

  // Export.
  bool addPolyPoints = false;                    ///< DXF_Out_AddPolyPoints
  bool addVlLayerPrefix = true;                  ///< DXF_Out_AddVLLayerPrefix

  /// Coordinate texts: DXF_Coord, DXF_CoordHeight, DXF_Coord_OrigLayer,
  /// DXF_Coord_Layer, DXF_Coord_Orientation.
  TextLabelOptions coord{false, 0.01, false, false, "VL_COORD", 0};
  std::string coordFormat = "(%x %y)";           ///< DXF_CoordFormat

  /// Text objects: DXF_Text, DXF_TextHeight (layer and orientation unused).
  TextLabelOptions text{false, 0.01, false, false, "", 0};
  bool textForceHeight = false;                  ///< DXF_Text_ForceHeight

  /// Point-id texts: DXF_PID, DXF_PIDHeight, DXF_PID_OrgLayer, DXF_PID_Layer,
  /// DXF_PID_Orientation.
  TextLabelOptions pid{false, 0.01, false, false, "VL_PID", 0};

  /// Comment texts: DXF_Comment, DXF_Out_Comment_OrigLayer,
  /// DXF_Comment_Layer, DXF_Comment_Height, DXF_Comment_Orientation.
  TextLabelOptions comment{false, 0.01, false, false, "VL_COMMENT", 0};

  int pdMode = 0;                                ///< DXF_PDMODE
  double pdSize = 0.0;                           ///< DXF_PDSIZE

  DxfOptions() : FormatOptions("DXF") {}
  void reset(int scope = kResetBoth) override;
  /// As FormatOptions::load; afterwards block text number and line number
  /// below 1 become 1.
  void load(const SettingsKey& key, bool readRegistry) override;
  void bind(OptionBindings& out) override;
};

}  // namespace vltrx
