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

/// The defaults stand in the declaration (DxfOptions.cpp).
struct DxfOptions : FormatOptions {
  // Import.
  double approx;                          ///< DXF_Approx, metres
  double epsilon;                         ///< DXF_Epsilon, metres
  bool importAllLayers;                   ///< DXF_ImportAllLayers
  bool importAllLayersWithoutAssignment;  ///< DXF_ImportAllLayersWithoutAssignment
  double cpFactor;                        ///< DXF_CPFactor
  int cpMethod;                           ///< DXF_CPMethod, CentrePointMethod
  bool importBlocks;                      ///< DXF_ImportBlocks
  bool importBlocksAnchorPoints;          ///< DXF_ImportBlocksAnchorPoints

  // Point-id import group (DXF_In_PID_AlphaNum is the common inAlphaNumIds).
  bool pidImport;                         ///< DXF_PID_Import
  int pidImportSource;                    ///< DXF_PID_ImportSource, PidImportSource
  double pidImportEpsilon;                ///< |DXF_PID_ImportEpsilon|
  bool pidImportIgnoreZ;                  ///< DXF_PID_ImportEpsilon was negative
  std::string pidBlockAttribute;          ///< DXF_PID_BlockAttribute
  int pidBlockTextNumber;                 ///< DXF_PID_BlockTextNumber, at least 1
  std::string pidImportLayer;             ///< DXF_PID_ImportLayer; "*" all, "&" plan-data layers
  int pidLineNumber;                      ///< DXF_PID_LineNumber, at least 1

  bool importProxyAnchorPoints;           ///< DXF_In_ImportProxyGraphicsAnchorPoints
  bool keepVlPrefix;                      ///< -keepvl, command line only

  // Export.
  bool addPolyPoints;                     ///< DXF_Out_AddPolyPoints
  bool addVlLayerPrefix;                  ///< DXF_Out_AddVLLayerPrefix

  /// Coordinate texts: DXF_Coord, DXF_CoordHeight, DXF_Coord_OrigLayer,
  /// DXF_Coord_Layer, DXF_Coord_Orientation.
  TextLabelOptions coord;
  std::string coordFormat;                ///< DXF_CoordFormat

  /// Text objects: DXF_Text, DXF_TextHeight (layer and orientation unused).
  TextLabelOptions text;
  bool textForceHeight;                   ///< DXF_Text_ForceHeight

  /// Point-id texts: DXF_PID, DXF_PIDHeight, DXF_PID_OrgLayer, DXF_PID_Layer,
  /// DXF_PID_Orientation.
  TextLabelOptions pid;

  /// Comment texts: DXF_Comment, DXF_Out_Comment_OrigLayer,
  /// DXF_Comment_Layer, DXF_Comment_Height, DXF_Comment_Orientation.
  TextLabelOptions comment;

  int pdMode;                             ///< DXF_PDMODE
  double pdSize;                          ///< DXF_PDSIZE

  DxfOptions() { reset(); }
  const OptionDeclaration& declaration() const override;
  /// As FormatOptions::load; afterwards block text number and line number
  /// below 1 become 1.
  void load(const SettingsKey& key, bool readRegistry) override;
};

}  // namespace vltrx
