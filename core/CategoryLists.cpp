// Interning table of category-set list blocks: set content -> block id, and a
// reference count per block id.
//
// A record's categories field is 16 bits wide, so a list block needs an id
// below 65536 and at most 65,279 list blocks can exist at once. Surveys have
// few distinct category combinations but many points carrying them: a
// million points of which a tenth carry the same two categories need one
// list block, not 100,000. Setting a set costs one hash lookup over its ids;
// only the first record with a new combination allocates.
#include "core/CategoryLists.h"

#include "core/CError.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <unordered_map>
#include <vector>

namespace vltrx {
namespace {

using Ids = std::span<const uint16_t>;

// FNV-1a over the 16-bit ids. Keys and lookups hash the same way whether they
// come as a stored vector or as a span, so lookups never build a key.
struct SetHash {
  using is_transparent = void;
  size_t operator()(Ids ids) const {
    uint64_t h = 14695981039346656037ull;
    for (uint16_t v : ids) {
      h ^= v;
      h *= 1099511628211ull;
    }
    return static_cast<size_t>(h ^ (h >> 32));
  }
};

struct SetEqual {
  using is_transparent = void;
  bool operator()(Ids a, Ids b) const { return std::equal(a.begin(), a.end(), b.begin(), b.end()); }
};

struct Table {
  std::unordered_map<std::vector<uint16_t>, BlockId, SetHash, SetEqual> byContent;
  // References per list id; sized to every small id once the first list exists.
  std::vector<uint32_t> refs;
};

Table& table() {
  static Table t;
  return t;
}

BlockStore& store() { return blockStore(); }

// The ids held in a list block (empty for an id that names no list block).
Ids idsOf(BlockId id) {
  const uint32_t n = store().count(id);
  const uint8_t* data = store().elements(id);
  if (!data || store().size(id) < kArrayHeader + 2ull * n) return {};
  // A block starts on a malloc boundary; its u16 ids, 4 bytes in, are aligned.
  return Ids(reinterpret_cast<const uint16_t*>(data), n);
}

uint32_t referencesOf(const Table& t, BlockId id) { return id < t.refs.size() ? t.refs[id] : 0; }

// A new list block with set, entered in the table with one reference; 0 when
// no small id or no memory is left.
BlockId createList(Table& t, Ids set) {
  const uint32_t n = static_cast<uint32_t>(set.size());
  BlockId id = store().allocateSmall(kArrayHeader + 2 * n);
  if (id == 0) return 0;
  if (id > BlockStore::kMaxSmallId || (id & 0xFFFF) == 0) {
    store().free(id);
    return 0;
  }
  uint8_t* p = store().pointer(id);
  std::memcpy(p, &n, 4);
  std::memcpy(p + kArrayHeader, set.data(), 2 * size_t(n));
  try {
    if (t.refs.empty()) t.refs.resize(size_t(BlockStore::kMaxSmallId) + 1, 0);
    t.byContent.emplace(std::vector<uint16_t>(set.begin(), set.end()), id);
  } catch (const std::bad_alloc&) {
    store().free(id);
    return 0;
  }
  t.refs[id] = 1;
  return id;
}

}  // namespace

int assignCategoryList(BlockId& list, std::span<const uint16_t> set) {
  Table& t = table();
  if (set.size() < 2) {
    releaseCategoryList(list);
    return +ErrorCode::InvalidBlockId;
  }

  auto found = t.byContent.find(set);
  if (found != t.byContent.end()) {
    const BlockId shared = found->second;
    if (shared == list) return 0;
    if (t.refs[shared] == UINT32_MAX) {
      releaseCategoryList(list);
      return +ErrorCode::StorageExceeded;
    }
    ++t.refs[shared];
    releaseCategoryList(list);
    list = shared;
    return 0;
  }

  // A set nobody holds yet. A block only this record refers to and that has
  // as many ids takes the new ids in place and is re-keyed; a shared block
  // is never written (the other records keep their set).
  if (list && referencesOf(t, list) == 1 && store().count(list) == set.size()) {
    auto old = t.byContent.find(idsOf(list));
    if (old != t.byContent.end() && old->second == list) {
      auto node = t.byContent.extract(old);
      node.key().assign(set.begin(), set.end());  // same length: no allocation
      std::memcpy(store().elements(list), set.data(), 2 * set.size());
      // The table holds as many entries as before, so this insert does not rehash.
      t.byContent.insert(std::move(node));
      return 0;
    }
  }

  // Release first, so a block freed here can give its id to the new list.
  releaseCategoryList(list);
  list = createList(t, set);
  return list ? 0 : +ErrorCode::StorageExceeded;
}

void releaseCategoryList(BlockId& list) {
  Table& t = table();
  const BlockId id = list;
  list = 0;
  if (referencesOf(t, id) == 0) return;
  if (--t.refs[id] > 0) return;
  auto it = t.byContent.find(idsOf(id));
  if (it != t.byContent.end() && it->second == id) t.byContent.erase(it);
  store().free(id);
}

uint32_t categoryListReferences(BlockId id) { return referencesOf(table(), id); }

size_t categoryListCount() { return table().byContent.size(); }

void resetCategoryLists() {
  Table& t = table();
  decltype(t.byContent)().swap(t.byContent);
  std::vector<uint32_t>().swap(t.refs);
}

}  // namespace vltrx
