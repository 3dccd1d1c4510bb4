// Blocks, inserts, texts and proxy anchors of the DXF reader (inside
// formats/dxf only): the records the entity parsers keep for them, the
// BLOCKS section, and what happens to the inserts after ENTITIES.
#pragma once

#include "formats/dxf/DxfCurves.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vltrx {

class DxfGroupReader;
class Ui;
class tDXFData;
struct DxfReadSettings;

/// A TEXT, MTEXT or ATTRIB as the point-id import needs it: the text (UTF-8,
/// an MTEXT already split into its lines), its layer and the position a
/// label stands for, in world coordinates.
struct DxfTextRecord {
  std::vector<std::string> lines;  ///< one for TEXT and ATTRIB
  std::string layer;
  std::string tag;                 ///< ATTRIB: code 2
  DxfVec position;
};

/// One accepted INSERT: block name (2), insertion point (10, 20, 30, in the
/// object coordinates of the extrusion), scale (41, 42, 43), rotation (50,
/// degrees), columns and rows (70, 71) with their spacings (44, 45), the
/// extrusion (210, 220, 230) and the ATTRIBs that followed it.
struct DxfInsertRecord {
  std::string layer;
  std::string block;
  DxfVec point;
  DxfVec scale{1, 1, 1};
  double rotation = 0;
  int columns = 1, rows = 1;
  double columnSpacing = 0, rowSpacing = 0;
  DxfVec extrusion{0, 0, 1};
  std::vector<DxfTextRecord> attributes;
  bool accepted = false;  ///< AcceptEntity took its layer
};

/// Most levels of blocks inside blocks that are expanded; an insert deeper
/// down (or one that reaches a block being expanded, a cycle) adds nothing.
inline constexpr int kMaxDxfBlockDepth = 32;
/// Most points that expanding the inserts may add to one drawing: more
/// fails with -602 instead of filling the memory (a block of 1000 points
/// inserted 1000 times in each of five levels would ask for 10^18).
inline constexpr size_t kMaxDxfExpandedPoints = 20'000'000;

/// The block definitions of a drawing, in file order.
struct DxfBlockList;

/// The first definition of name, null when there is none.
const tDXFData* dxfFindBlock(const DxfBlockList& list, const std::string& name);

/// Reads the BLOCKS section into file.blocks (after "SECTION" "BLOCKS", up
/// to and including "ENDSEC"). Throws CError with the line.
void readDxfBlocks(DxfGroupReader& reader, tDXFData& file, const DxfReadSettings& settings, Ui& ui);

/// After ENTITIES: expands the pending inserts of file into its plan, or
/// adds their insertion points, as the block options say; copies the texts
/// of expanded blocks into file.texts.
void finishDxfInserts(tDXFData& file, const DxfReadSettings& settings, Ui& ui);

/// The point-id import: selects the id texts, matches them to the staged
/// points and numbers the points (file.pointNumbers, file.pointNames).
void importDxfPointIds(tDXFData& file, const DxfReadSettings& settings, Ui& ui);

/// The lines of an MTEXT value with its formatting codes removed.
std::vector<std::string> splitMtext(std::string_view value);

}  // namespace vltrx
