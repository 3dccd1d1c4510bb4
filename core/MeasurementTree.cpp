// Tree nodes of the measurement store: the root, node records, the ordered
// child lists, deletion and the depth-first walk.
#include "core/MeasurementTree.h"

#include "core/Utf8.h"

#include "core/CError.h"
#include "core/CategoryLists.h"
#include "core/Layout.h"
#include "core/MeasurementTypes.h"

#include <algorithm>
#include <cstring>

namespace vltrx {
namespace {

BlockId g_root = 0;

// Longest parent chain accepted while walking up; deeper chains can only come
// from a damaged tree.
constexpr int kMaxWalk = 4096;

char foldByte(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Frees everything below the node and the node's comment, but not the node.
void deleteContents(BlockId id) {
  BlockStore& store = blockStore();
  NodeHeader* h = nodeHeader(id);
  if (!h) return;
  if (h->comment) store.free(h->comment);
  h->comment = 0;
  if (SubFolder* f = subFolder(id)) {
    BlockId child = f->firstChild;
    f->firstChild = 0;
    f->childCount = 0;
    while (child) {
      NodeHeader* c = nodeHeader(child);
      if (!c) break;
      BlockId next = c->nextSibling;
      deleteContents(child);
      store.free(child);
      child = next;
    }
  } else if (MFolder* m = mFolder(id)) {
    // One pass over each array: every record's blocks are released in O(1),
    // so a layout of n points is deleted in O(n).
    const uint32_t np = store.count(m->points);
    MPoint* pts = reinterpret_cast<MPoint*>(store.elements(m->points));
    for (uint32_t i = 0; pts && i < np; ++i) releaseBlocks(pts[i]);
    const uint32_t ng = store.count(m->polygons);
    MPolygon* pgs = reinterpret_cast<MPolygon*>(store.elements(m->polygons));
    for (uint32_t i = 0; pgs && i < ng; ++i) releaseBlocks(pgs[i]);
    if (m->points) store.free(m->points);
    if (m->polygons) store.free(m->polygons);
    m->points = 0;
    m->polygons = 0;
    m->singlePolygons = 0;
  }
}

}  // namespace

// --- process-wide store ----------------------------------------------------

BlockId rootFolder() {
  if (g_root) {
    const SubFolder* f = subFolder(g_root);
    if (f && f->header.parent == 0) return g_root;
  }
  g_root = createNode("", true);
  return g_root;
}

void resetMeasurementStore() {
  resetCategoryLists();
  blockStore().clear();
  g_root = 0;
  setPreferredSystem(PreferredSystem::Xyz);
}

// --- node access -------------------------------------------------------------

NodeHeader* nodeHeader(BlockId id) {
  BlockStore& store = blockStore();
  uint8_t* p = store.pointer(id);
  if (!p) return nullptr;
  uint32_t size = store.size(id);
  if (size != sizeof(SubFolder) && size != sizeof(MFolder)) return nullptr;
  return reinterpret_cast<NodeHeader*>(p);
}

SubFolder* subFolder(BlockId id) {
  NodeHeader* h = nodeHeader(id);
  if (!h || h->isSubfolder != 1 || blockStore().size(id) != sizeof(SubFolder)) return nullptr;
  return reinterpret_cast<SubFolder*>(h);
}

MFolder* mFolder(BlockId id) {
  NodeHeader* h = nodeHeader(id);
  if (!h || h->isSubfolder != 0 || blockStore().size(id) != sizeof(MFolder)) return nullptr;
  return reinterpret_cast<MFolder*>(h);
}

std::string_view nodeName(BlockId id) {
  const NodeHeader* h = nodeHeader(id);
  if (!h) return {};
  return std::string_view(h->name, strnlen(h->name, kNodeNameMax));
}

std::string_view nodeComment(BlockId id) {
  const NodeHeader* h = nodeHeader(id);
  return h ? blockStore().text(h->comment) : std::string_view{};
}

int setNodeComment(BlockId id, std::string_view comment) {
  NodeHeader* h = nodeHeader(id);
  if (!h) return +ErrorCode::InvalidBlockId;
  BlockId field = h->comment;
  int rc = blockStore().setText(field, comment);
  h->comment = field;
  return rc;
}

int compareNodeNames(std::string_view a, std::string_view b) {
  // Like a case-insensitive strncmp over 28 bytes: the names end at their
  // length or at a zero byte.
  for (size_t i = 0; i < kNodeNameCompare; ++i) {
    unsigned char ca = i < a.size() ? static_cast<unsigned char>(foldByte(a[i])) : 0;
    unsigned char cb = i < b.size() ? static_cast<unsigned char>(foldByte(b[i])) : 0;
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
  return 0;
}

// --- tree operations ---------------------------------------------------------

BlockId createNode(std::string_view name, bool isSubfolder) {
  BlockStore& store = blockStore();
  BlockId id = store.allocate(isSubfolder ? sizeof(SubFolder) : sizeof(MFolder));
  if (id == 0) return 0;
  NodeHeader* h = reinterpret_cast<NodeHeader*>(store.pointer(id));
  // Cut to 29 bytes, but never inside a character: a half UTF-8 sequence
  // would spoil the name in every output format.
  std::string_view cut = cutUtf8(name, kNodeNameMax);
  std::memcpy(h->name, cut.data(), cut.size());
  h->isSubfolder = isSubfolder ? 1 : 0;
  return id;
}

int findChildPosition(BlockId parent, std::string_view name, bool isSubfolder) {
  const SubFolder* f = subFolder(parent);
  if (!f) return 0;
  const uint8_t kind = isSubfolder ? 1 : 0;
  int index = 0;
  for (BlockId child = f->firstChild; child;) {
    const NodeHeader* c = nodeHeader(child);
    if (!c) break;
    if (c->isSubfolder != kind) {
      // SubFolders come first: a folder sorts before the first layout, a
      // layout after the last folder.
      if (isSubfolder) break;
    } else {
      int cmp = compareNodeNames(std::string_view(c->name, strnlen(c->name, kNodeNameMax)), name);
      if (cmp == 0) return ~index;
      if (cmp > 0) break;
    }
    ++index;
    child = c->nextSibling;
  }
  return index;
}

int linkChild(BlockId parent, uint32_t index, BlockId child) {
  SubFolder* f = subFolder(parent);
  NodeHeader* c = nodeHeader(child);
  if (!f || !c || child == parent || child == g_root || c->parent != 0 || index > f->childCount)
    return +ErrorCode::InvalidBlockId;
  // A node may not be linked below itself.
  for (BlockId up = parent, steps = 0; up; up = nodeHeader(up)->parent) {
    if (up == child || ++steps > kMaxWalk || !nodeHeader(up)) return +ErrorCode::InvalidBlockId;
  }
  if (c->isSubfolder) {
    int d = depth(parent);
    if (d < 0) return d;
    if (d >= kMaxFolderDepth) return +ErrorCode::TooManyFolderLevels;
  }
  if (f->childCount == UINT16_MAX) return +ErrorCode::StorageExceeded;
  if (index == 0) {
    c->nextSibling = f->firstChild;
    f->firstChild = child;
  } else {
    NodeHeader* prev = nodeHeader(childAt(parent, index - 1));
    if (!prev) return +ErrorCode::InvalidBlockId;
    c->nextSibling = prev->nextSibling;
    prev->nextSibling = child;
  }
  c->parent = parent;
  ++f->childCount;
  f->lastInsert = index;
  return 0;
}

int unlinkChild(BlockId parent, uint32_t index) {
  SubFolder* f = subFolder(parent);
  if (!f || index >= f->childCount) return +ErrorCode::InvalidBlockId;
  BlockId child = childAt(parent, index);
  NodeHeader* c = nodeHeader(child);
  if (!c) return +ErrorCode::InvalidBlockId;
  if (index == 0) {
    f->firstChild = c->nextSibling;
  } else {
    NodeHeader* prev = nodeHeader(childAt(parent, index - 1));
    if (!prev) return +ErrorCode::InvalidBlockId;
    prev->nextSibling = c->nextSibling;
  }
  c->nextSibling = 0;
  c->parent = 0;
  --f->childCount;
  return 0;
}

BlockId childAt(BlockId parent, uint32_t index) {
  const SubFolder* f = subFolder(parent);
  if (!f) return 0;
  BlockId child = f->firstChild;
  for (uint32_t i = 0; child && i < index; ++i) {
    const NodeHeader* c = nodeHeader(child);
    if (!c) return 0;
    child = c->nextSibling;
  }
  return child;
}

int depth(BlockId node) {
  const NodeHeader* h = nodeHeader(node);
  if (!h) return +ErrorCode::InvalidBlockId;
  int d = 0;
  while (h->parent) {
    h = nodeHeader(h->parent);
    if (!h || ++d > kMaxWalk) return +ErrorCode::InvalidBlockId;
  }
  return d;
}

int deleteNode(BlockId id) {
  NodeHeader* h = nodeHeader(id);
  if (!h) return +ErrorCode::InvalidBlockId;
  // Unlink first, so the parent's list never names a freed block.
  if (h->parent) {
    const SubFolder* f = subFolder(h->parent);
    if (f) {
      uint32_t index = 0;
      for (BlockId c = f->firstChild; c && c != id; ++index) {
        const NodeHeader* ch = nodeHeader(c);
        c = ch ? ch->nextSibling : 0;
      }
      if (index < f->childCount) unlinkChild(h->parent, index);
    }
  }
  deleteContents(id);
  blockStore().free(id);
  if (id == g_root) g_root = 0;
  return 0;
}

int visit(BlockId node, const VisitCallback& callback) {
  if (mFolder(node)) {
    int r = callback(node, 0);
    return r < 0 ? r : 0;
  }
  const SubFolder* f = subFolder(node);
  if (!f) return +ErrorCode::InvalidBlockId;
  int r = callback(node, 1);
  if (r < 1) return r < 0 ? r : 0;
  // The callback may change the folder (blocks do not move, but it may delete
  // the child it is shown): take the next sibling before descending.
  f = subFolder(node);
  for (BlockId child = f ? f->firstChild : 0; child;) {
    const NodeHeader* c = nodeHeader(child);
    if (!c) return +ErrorCode::InvalidBlockId;
    BlockId next = c->nextSibling;
    r = visit(child, callback);
    if (r < 0) return r;
    child = next;
  }
  r = callback(node, 2);
  return r < 0 ? r : 0;
}

}  // namespace vltrx
