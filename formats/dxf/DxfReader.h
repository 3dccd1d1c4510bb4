// Reader of ASCII DXF drawings (".dxf", format "DXF"): the section walk,
// header, layer table and classes, the layer-to-category rules, the
// post-processing (centre points, joining of polygon ends) and the commit of
// the drawing as one new layout.
#pragma once

#include "core/BlockStore.h"
#include "formats/dxf/DxfBlocks.h"
#include "formats/dxf/DxfCurves.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vltrx {

class Ui;
struct ConversionContext;

/// Special category ids the reader puts on points itself.
inline constexpr uint16_t kCategoryCentrePoint = 10030;
inline constexpr uint16_t kCategoryTinyCircle = 10031;
/// Most distinct layers of one drawing.
inline constexpr size_t kMaxDxfLayers = 1024;

/// What the DXF reader needs besides its input.
struct DxfReadSettings {
  double approx = 0.01;         ///< DXF_Approx, metres of the output
  double epsilon = 0.005;       ///< DXF_Epsilon, metres of the output
  double scale = 1.0;           ///< DXF_In_ScaleFactor (tolerances are divided by it)
  int cpMethod = 2;             ///< DXF_CPMethod: 0 none, 1 all, 2 by factor
  double cpFactor = 1.5;        ///< DXF_CPFactor
  bool importAllLayers = false;             ///< DXF_ImportAllLayers
  bool withoutAssignment = true;            ///< DXF_ImportAllLayersWithoutAssignment
  bool keepPrefix = false;                  ///< -keepvl
  bool importProxyAnchorPoints = false;     ///< DXF_In_ImportProxyGraphicsAnchorPoints (CLASSES are read)
  bool acceptDuplicateIds = false;          ///< skip the -907 failure of the final check
  bool importBlocks = false;                ///< DXF_ImportBlocks
  bool blockAnchorPoints = false;           ///< DXF_ImportBlocksAnchorPoints
  bool pidImport = false;                   ///< DXF_PID_Import
  int pidSource = 0;                        ///< DXF_PID_ImportSource
  double pidEpsilon = 0.001;                ///< |DXF_PID_ImportEpsilon|, drawing units
  bool pidIgnoreZ = false;                  ///< DXF_PID_ImportEpsilon was negative
  std::string pidLayer;                     ///< DXF_PID_ImportLayer ("" = "VL_PID")
  std::string pidAttribute;                 ///< DXF_PID_BlockAttribute
  int pidTextNumber = 1;                    ///< DXF_PID_BlockTextNumber
  int pidLineNumber = 1;                    ///< DXF_PID_LineNumber
  bool pidAlphaNum = false;                 ///< DXF_In_PID_AlphaNum
  /// Category id of a name (UTF-8), found or created in the category list
  /// in force; empty = categoryIdForName.
  std::function<uint16_t(std::string_view)> categoryForName;
};

/// A layer met in the drawing.
struct DxfLayer {
  std::string name;       ///< UTF-8, after the prefix handling
  int kind = 7;           ///< handed on when a category is created
  uint16_t category = 0;  ///< 0 = none
};

/// A staged polygon: a range of the point table. A single point is a
/// polygon of one point; extra names its special category and comment.
struct DxfStagedPolygon {
  uint32_t first = 0;
  uint32_t count = 0;
  uint16_t layer = 0;  ///< index into the layer table
  bool closed = false;
  bool removed = false;
  int32_t extra = -1;  ///< index into the point extras, -1 = none
};

/// Special category and comment of a single point (centre points, tiny
/// circles), kept out of line so an ordinary point costs 24 bytes.
struct DxfPointExtra {
  uint16_t category = 0;
  std::string comment;
};

/// The drawing data of one reader: layers, the plan under construction,
/// the frozen and off layers, the classes and the header results. The plan
/// is kept lean (one coordinate triple per point, polygons as ranges) and
/// turned into a staged plan of the store only at the commit.
class tDXFData {
 public:
  explicit tDXFData(const DxfReadSettings& settings);
  virtual ~tDXFData() = default;

  /// Whether an entity with all its pairs read is taken. The base takes all.
  virtual bool AcceptEntity(std::string_view layer, bool invisible, bool paperSpace);

  /// Index of the layer record of name (UTF-8), created on first use with
  /// its category. Throws CError -2303 for an empty name, -2313 for the
  /// 1025th layer (or what creating a category throws).
  uint16_t GetLayer(std::string_view name, int kind);

  /// True when the layer (compared in upper case) is frozen or off.
  bool isHiddenLayer(std::string_view upperName) const;

  std::vector<DxfLayer> layers;
  DxfPointTable points;
  std::vector<DxfStagedPolygon> polygons;
  std::vector<DxfPointExtra> extras;
  std::vector<std::string> frozenLayers;  ///< upper case, sorted
  std::vector<std::string> offLayers;     ///< upper case, sorted
  std::vector<std::string> classes;       ///< record names of entity classes
  std::vector<DxfTextRecord> texts;       ///< TEXT and MTEXT, for the point-id import
  std::vector<DxfInsertRecord> inserts;   ///< accepted INSERTs in file order
  std::shared_ptr<DxfBlockList> blocks;   ///< the BLOCKS section (file data only)
  /// After the point-id import: number and name of every staged point
  /// (empty = all 0 and unnamed).
  std::vector<int32_t> pointNumbers;
  std::vector<std::string> pointNames;

  bool importAllLayers = false;
  bool withoutAssignment = true;
  bool keepPrefix = false;
  bool layerSkipped = false;
  int version = 0;
  uint32_t codePage = 0;

 protected:
  const DxfReadSettings& m_settings;

 private:
  uint16_t categoryFor(const std::string& name) const;
};

/// The reader of a whole file: takes only VL layers unless all layers are
/// imported, never paper space or invisible entities.
class tDXFInFileData : public tDXFData {
 public:
  using tDXFData::tDXFData;
  bool AcceptEntity(std::string_view layer, bool invisible, bool paperSpace) override;
};

class DxfGroupReader;

/// Reads the sections of the drawing into data (header, tables, classes,
/// entities) up to "EOF". Throws CError with the line number.
void readDxfSections(DxfGroupReader& reader, tDXFData& data, const DxfReadSettings& settings, Ui& ui);

/// The post-processing after the last section: the centre-point filter,
/// then the joining of open polygons of one layer whose ends meet within
/// epsilon (each join closes the result when its ends meet).
void postProcessDxf(tDXFData& data, const DxfReadSettings& settings);

/// Creates the layout name below parent and commits the plan of data to it
/// in batches, then checks the point numbers (-907 tolerated with
/// acceptDuplicateIds). Polygons longer than a polygon record holds are
/// stored as consecutive pieces that share their end points. The pages of
/// staged points already stored are given back as the commit goes on (the
/// plan of data is not used afterwards). On any failure
/// the layout is deleted again and the CError propagates.
BlockId commitDxfPlan(BlockId parent, std::string_view name, tDXFData& data, bool acceptDuplicateIds);

/// readDxfSections, postProcessDxf and commitDxfPlan for one input; 0 (and
/// nothing added) when no entity was taken while some were skipped for
/// their layer.
BlockId readDxfInput(DxfGroupReader& reader, BlockId parent, std::string_view name, const DxfReadSettings& settings,
                     Ui& ui);

/// Reads file into a new layout named after the file (without folder and
/// extension) below parent and returns it; returns 0 and adds nothing when
/// the drawing held no entity on a plan layer while other layers held some.
/// Throws CError; nothing of a failed file stays in the store.
BlockId readDxfFile(const std::filesystem::path& file, BlockId parent, const DxfReadSettings& settings, Ui& ui);

/// The reader of the format table: DXF options and the duplicate-id
/// tolerance from the context. A drawing without plan layers asks text 90
/// and, on yes, reads the file again with all layers.
void readDxf(const std::filesystem::path& file, BlockId parent, ConversionContext& context);

}  // namespace vltrx
