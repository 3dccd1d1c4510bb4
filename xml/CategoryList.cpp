// Category lists: lookups, insertion with subtree counts, built-in
// categories and the category-name parser of the table readers.
#include "xml/CategoryList.h"

#include "core/Utf8.h"

#include "core/CError.h"

#include <string>
#include <unordered_map>

namespace vltrx {
namespace {

char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

std::string foldedKey(std::string_view name) {
  std::string key(name);
  for (char& c : key) c = foldAscii(c);
  return key;
}

// Folders from the root down to target (both included) when target is a
// folder of the list; false otherwise.
bool folderPath(CategorySpan list, uint32_t target, std::vector<uint32_t>& path) {
  path.clear();
  if (list.empty() || target >= list.size() || !list[target].isFolder()) return false;
  uint32_t i = 0;
  path.push_back(0);
  while (i != target) {
    const uint32_t end = subtreeEnd(list, i);
    uint32_t c = i + 1;
    bool descended = false;
    while (c < end) {
      const uint32_t cEnd = subtreeEnd(list, c);
      if (target >= c && target < cEnd) {
        if (!list[c].isFolder()) return false;
        i = c;
        path.push_back(c);
        descended = true;
        break;
      }
      c = cEnd;
    }
    if (!descended) return false;
  }
  return true;
}

// The fixed-capacity name of an entry cut like CategoryEntry::setName does.
std::string_view cutName(std::string_view name) { return cutUtf8(name, 63); }

// Name-to-id table of the list in force for the category-name parser,
// rebuilt when the record store has changed. Without it each name of each
// point of a table would be compared with up to 1024 entries.
struct NameCache {
  uint64_t generation = ~uint64_t(0);
  std::unordered_map<std::string, uint16_t> ids;

  const uint16_t* find(std::string_view name) {
    RecordStore& rs = recordStore();
    if (generation != rs.generation()) {
      ids.clear();
      CategorySpan list = categoryEntries(currentCategoryList());
      for (const CategoryEntry& e : list)
        if (!e.isFolder()) ids.try_emplace(foldedKey(e.nameView()), e.id);  // first match wins
      generation = rs.generation();
    }
    auto it = ids.find(foldedKey(name));
    return it == ids.end() ? nullptr : &it->second;
  }
};

NameCache& nameCache() {
  static NameCache cache;
  return cache;
}

// Owns a copy of a list until it is released.
struct ListGuard {
  BlockId id = 0;
  ~ListGuard() {
    if (id) blockStore().free(id);
  }
};

}  // namespace

CategorySpan categoryEntries(BlockId list) {
  const BlockStore& bs = blockStore();
  const uint8_t* p = bs.elements(list);
  if (!p) return {};
  return {reinterpret_cast<const CategoryEntry*>(p), bs.count(list)};
}

CategoryEntry* mutableCategoryEntries(BlockId list) {
  return reinterpret_cast<CategoryEntry*>(blockStore().elements(list));
}

bool equalNamesIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (foldAscii(a[i]) != foldAscii(b[i])) return false;
  return true;
}

const CategoryEntry* findActiveCategory(uint16_t id) {
  static std::vector<int32_t> index;
  static uint64_t builtFor = ~uint64_t(0);
  const RecordStore& rs = recordStore();
  CategorySpan list = categoryEntries(currentCategoryList());
  if (builtFor != rs.generation()) {
    index.assign(65536, -1);
    for (uint32_t k = list.size(); k-- > 0;)
      if (!list[k].isFolder()) index[list[k].id] = int32_t(k);  // backwards: the first entry wins
    builtFor = rs.generation();
  }
  const int32_t k = index[id];
  return (id == 0 || k < 0) ? nullptr : &list[uint32_t(k)];
}

uint32_t subtreeEnd(CategorySpan list, uint32_t i) {
  const uint64_t end = uint64_t(i) + list[i].span();
  return end > list.size() ? uint32_t(list.size()) : uint32_t(end);
}

int findEntry(CategorySpan list, uint32_t parent, const CategoryEntry& probe) {
  if (parent >= list.size()) return kNoEntry;
  const uint32_t end = subtreeEnd(list, parent);
  const std::string_view name = probe.nameView();
  for (uint32_t k = parent + 1; k < end; ++k) {
    const CategoryEntry& e = list[k];
    if (probe.isFixed()) {
      if (e.id == probe.id) return int(k);
    } else if (e.isFolder() == probe.isFolder() && e.isLocal() == probe.isLocal()) {
      if (equalNamesIgnoreCase(e.nameView(), name)) return int(k);
    }
  }
  return kNoEntry;
}

int findChildFolder(CategorySpan list, uint32_t parent, std::string_view name) {
  if (parent >= list.size() || !list[parent].isFolder()) return kNoEntry;
  const uint32_t end = subtreeEnd(list, parent);
  for (uint32_t k = parent + 1; k < end; k = subtreeEnd(list, k))
    if (list[k].isFolder() && equalNamesIgnoreCase(list[k].nameView(), name)) return int(k);
  return kNoEntry;
}

int findCategoryByName(CategorySpan list, std::string_view name) {
  for (uint32_t k = 0; k < list.size(); ++k)
    if (!list[k].isFolder() && equalNamesIgnoreCase(list[k].nameView(), name)) return int(k);
  return kNoEntry;
}

int findCategoryById(CategorySpan list, uint16_t id) {
  if (id == 0) return kNoEntry;
  for (uint32_t k = 0; k < list.size(); ++k)
    if (list[k].id == id) return int(k);
  return kNoEntry;
}

int topLevelFolder(CategorySpan list, int which) {
  if (list.empty()) return kNoEntry;
  const uint32_t end = subtreeEnd(list, 0);
  uint32_t k = 1;
  for (int n = 0; k < end && n < which; ++n) k = subtreeEnd(list, k);
  if (k >= end || !list[k].isFolder()) return kNoEntry;
  return int(k);
}

int entryDepth(CategorySpan list, uint32_t i) {
  if (i >= list.size()) return kNoEntry;
  int depth = 0;
  uint32_t k = 0;
  while (k != i) {
    const uint32_t end = subtreeEnd(list, k);
    uint32_t c = k + 1;
    while (c < end && subtreeEnd(list, c) <= i) c = subtreeEnd(list, c);
    if (c >= end) return kNoEntry;
    k = c;
    ++depth;
  }
  return depth;
}

uint16_t nextLocalId(CategorySpan list) { return list.empty() ? 1 : uint16_t(list[0].subtree + 1); }

int insertEntry(BlockId& list, uint32_t parent, const CategoryEntry& entry) {
  BlockStore& bs = blockStore();
  CategorySpan view = categoryEntries(list);
  if (view.empty()) return +ErrorCode::InvalidBlockId;
  if (view[0].subtree >= kMaxCategoryEntries) return +ErrorCode::CategoryListTooLarge;
  std::vector<uint32_t> path;
  if (!folderPath(view, parent, path)) return +ErrorCode::InvalidBlockId;
  const uint32_t pos = subtreeEnd(view, parent);
  if (int rc = bs.insert(list, ElementType::CategoryEntry, pos, 1); rc < 0) return rc;
  CategoryEntry* e = mutableCategoryEntries(list);
  e[pos] = entry;
  if (e[pos].isFolder()) e[pos].subtree = 0;
  for (uint32_t f : path) e[f].subtree += 1;
  return int(pos);
}

int removeEntry(BlockId& list, uint32_t i) {
  CategorySpan view = categoryEntries(list);
  if (i == 0 || i >= view.size()) return +ErrorCode::InvalidBlockId;
  const uint32_t n = subtreeEnd(view, i) - i;
  // The folders above i: walk down from the root.
  std::vector<uint32_t> above;
  uint32_t k = 0;
  while (k != i) {
    above.push_back(k);
    const uint32_t end = subtreeEnd(view, k);
    uint32_t c = k + 1;
    while (c < end && subtreeEnd(view, c) <= i) c = subtreeEnd(view, c);
    if (c >= end) return +ErrorCode::InvalidBlockId;
    k = c;
  }
  CategoryEntry* e = mutableCategoryEntries(list);
  for (uint32_t f : above) e[f].subtree = e[f].subtree >= n ? e[f].subtree - n : 0;
  return blockStore().remove(list, ElementType::CategoryEntry, i, n);
}

CategoryEntry makeCategoryEntry(std::string_view name, uint16_t id, uint8_t red, uint8_t green, uint8_t blue) {
  CategoryEntry e{};
  e.setName(name);
  e.id = id;
  e.colour.red = red;
  e.colour.green = green;
  e.colour.blue = blue;
  return e;
}

CategoryEntry makeFolderEntry(std::string_view name) {
  CategoryEntry e{};
  e.setName(name);
  return e;
}

bool isBuiltInCategory(uint16_t id) {
  for (const BuiltInCategory& b : kBuiltInCategories)
    if (b.id == id) return true;
  return false;
}

int addBuiltInCategories(BlockId& list) {
  for (const BuiltInCategory& b : kBuiltInCategories) {
    CategoryEntry e = makeCategoryEntry(b.name, b.id);
    if (findEntry(categoryEntries(list), 0, e) != kNoEntry) continue;
    if (int rc = insertEntry(list, 0, e); rc < 0) return rc;
  }
  return 0;
}

uint16_t categoryIdForName(std::string_view text) {
  const std::string_view name = cutName(text);
  if (const uint16_t* id = nameCache().find(name)) return *id;

  ListGuard copy;
  if (int rc = copyCurrentCategoryList(copy.id); rc < 0) throw makeError(rc);
  CategorySpan view = categoryEntries(copy.id);
  const uint16_t id = nextLocalId(view);
  int parent = topLevelFolder(view, 1);
  if (parent == kNoEntry) parent = 0;
  if (int rc = insertEntry(copy.id, uint32_t(parent), makeCategoryEntry(name, id, 128, 128, 128)); rc < 0)
    throw makeError(rc);
  if (int rc = commitCategoryList(copy.id); rc < 0) throw makeError(rc);
  return id;
}

bool categoryIdsFromNames(std::string_view text, std::vector<uint16_t>& ids, bool firstOnly) {
  bool any = false;
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    while (i < n && (text[i] == ' ' || text[i] == '\t' || text[i] == ',')) ++i;
    if (i >= n) break;
    const size_t start = i;
    while (i < n && text[i] != ',') ++i;
    ids.push_back(categoryIdForName(text.substr(start, i - start)));
    any = true;
    if (firstOnly) break;
  }
  return any;
}

}  // namespace vltrx
