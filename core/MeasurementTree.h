// The measurement tree: folder nodes (SubFolder) and layouts (MFolder) as
// fixed-width records in the block store, the process-wide root, and
// the tree operations (create, find, link, unlink, delete, visit).
#pragma once

#include "core/BlockStore.h"

#include <cstdint>
#include <functional>
#include <string_view>

namespace vltrx {

/// Longest node name in bytes (the field holds 30 bytes with the terminator).
constexpr size_t kNodeNameMax = 29;
/// Bytes of two names that are compared when children are ordered.
constexpr size_t kNodeNameCompare = 28;
/// Deepest level a SubFolder may lie at (the root is level 0).
constexpr int kMaxFolderDepth = 9;

// Records are fixed-width with byte alignment (multi-byte fields are
// Unaligned<T>), so the struct layout is exactly the record layout.

/// Header common to both node kinds, 44 bytes.
struct NodeHeader {
  Unaligned<BlockId> nextSibling;  // 0 at the end of the list
  Unaligned<BlockId> parent;       // 0 for the root (and for unlinked nodes)
  char name[30];                   // zero-terminated, at most 29 bytes of text
  Unaligned<BlockId> comment;      // text block
  uint8_t isSubfolder;             // 1 = SubFolder, 0 = MFolder
  uint8_t isProtected;             // 1 = protected
};

/// A folder of the tree, 58 bytes.
struct SubFolder {
  NodeHeader header;
  Unaligned<uint16_t> childCount;
  Unaligned<uint32_t> lastInsert;  // index of the most recent insertion
  uint8_t reserved[4];
  Unaligned<BlockId> firstChild;
};

/// A layout ("plan"), 102 bytes. Its points are stored in polygon order: the
/// first polygon owns the first point-count points of the point array, and so on.
struct MFolder {
  NodeHeader header;
  Unaligned<BlockId> polygons;  // typed array of MPolygon
  Unaligned<BlockId> points;    // typed array of MPoint
  uint8_t reserved1[2];
  Unaligned<uint32_t> highestPointNumber;
  // Bare single-point polygons (one point, no comment, no categories, open)
  // that follow the records of the polygon array without records of their
  // own: a table of single points costs no polygon record per point.
  Unaligned<uint32_t> singlePolygons;
  uint8_t reserved2[4];
  Unaligned<double> xOffset;  // metres, added to every point coordinate when evaluated
  Unaligned<double> yOffset;
  Unaligned<double> zOffset;
  Unaligned<uint16_t> layoutType;  // 0 = plain, 1 = "Quintar_MinMaxZ"
  uint8_t reserved3[2];
  uint8_t reserved4[8];  // pads the record to its 102-byte block
};

static_assert(sizeof(NodeHeader) == 44);
static_assert(sizeof(SubFolder) == 58);
static_assert(sizeof(MFolder) == 102);
static_assert(alignof(SubFolder) == 1 && alignof(MFolder) == 1);

// --- process-wide store ----------------------------------------------------

/// The root SubFolder of the measurement tree, created on first use (0 only
/// when memory runs out).
BlockId rootFolder();

/// Empties the whole store: every block (the tree, texts, category lists and
/// any other typed array) is released, ids start again at 257, the preferred
/// system goes back to "XYZ". The driver calls it after each conversion; tests
/// call it for a fresh store.
void resetMeasurementStore();

// --- node access -------------------------------------------------------------

/// The header of a node, nullptr when id names no block of a node's size.
NodeHeader* nodeHeader(BlockId id);
/// The node as SubFolder / MFolder; nullptr when id names no node of that kind.
SubFolder* subFolder(BlockId id);
MFolder* mFolder(BlockId id);
inline bool isSubFolder(BlockId id) { return subFolder(id) != nullptr; }
inline bool isLayout(BlockId id) { return mFolder(id) != nullptr; }

/// The node's name (at most 29 bytes), "" for an unknown id.
std::string_view nodeName(BlockId id);
/// The node's comment text, "" when none.
std::string_view nodeComment(BlockId id);
/// Stores the node's comment as a text block (empty = none). 0, -613, -602.
int setNodeComment(BlockId id, std::string_view comment);

/// Compares two names case-insensitively (ASCII bytes folded to lower case)
/// over at most their first 28 bytes: <0, 0, >0.
int compareNodeNames(std::string_view a, std::string_view b);

// --- tree operations ---------------------------------------------------------

/// A new zero-filled node: 58 bytes (SubFolder, is-subfolder 1) or 102 bytes
/// (MFolder), with at most the first 29 bytes of name (cut at a character
/// boundary). Returns its id, 0 when memory runs out.
BlockId createNode(std::string_view name, bool isSubfolder);

/// Looks name up among the parent's children of that kind: ~index (a negative
/// number) of an existing child whose name compares equal, else the list index
/// at which a new child of that name keeps the order (SubFolders come first,
/// then MFolders; each group ascending by name). A parent that is no SubFolder
/// gives 0 (linkChild then reports -613).
int findChildPosition(BlockId parent, std::string_view name, bool isSubfolder);

/// Inserts child into the parent's list at index (0 = head), sets its parent,
/// raises the child count and records index as the most recent insertion.
/// 0; -612 when child is a SubFolder and the parent lies at depth 9 or deeper;
/// -613 for an unknown id or an index beyond the count; -602 for 65535 children.
int linkChild(BlockId parent, uint32_t index, BlockId child);

/// Takes the index-th child out of the parent's list (its parent and next
/// sibling become 0). 0 or -613.
int unlinkChild(BlockId parent, uint32_t index);

/// The index-th child of parent, 0 when there is none.
BlockId childAt(BlockId parent, uint32_t index);

/// Number of parent steps up to the root (the root has depth 0); -613 for an
/// unknown id.
int depth(BlockId node);

/// Deletes the node: unlinks it from its parent, frees its comment; a
/// SubFolder deletes its children recursively, an MFolder frees its polygons
/// and points with their texts, category lists and values; then frees the node.
/// Deleting the root empties the tree (rootFolder() makes a new one). 0 or -613.
int deleteNode(BlockId id);

/// Visit callback: the node and the phase (0 = a layout, 1 = a folder before
/// its children, 2 = a folder after its children). Context is captured.
using VisitCallback = std::function<int(BlockId node, int phase)>;

/// Depth-first walk. A layout gets phase 0; a folder gets phase 1, then its
/// children in list order, then phase 2. A result below 1 at phase 1 skips the
/// children and phase 2 (0 goes on with the next sibling, a negative result
/// is returned). Any negative result ends the walk with that result. Returns
/// 0 when the walk completed, -613 for an unknown node.
int visit(BlockId node, const VisitCallback& callback);

}  // namespace vltrx
