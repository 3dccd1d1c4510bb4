// Record store: allocation with tags, deletion with owned records,
// compaction and the start-up scan of the 4 MiB region.
#include "core/RecordStore.h"

#include "core/CError.h"

#include <algorithm>
#include <bitset>
#include <cstring>

namespace vltrx {
namespace {

uint32_t loadU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void storeU32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

// Trailer field offsets.
constexpr uint32_t kTypeAt = 0;
constexpr uint32_t kTagAt = 1;
constexpr uint32_t kLengthAt = 4;
constexpr uint32_t kChecksumAt = 8;

constexpr uint32_t kTop = RecordStore::kRegionSize - RecordStore::kTrailerSize;

// Outcome of one step of the walk over the chain of trailers.
enum class Step { Record, Free, Bottom, Broken };

// Classifies the trailer at pos and, for a record, gives the position of the
// trailer below it (negative when the region is used up to its bottom).
Step stepAt(const uint8_t* region, int64_t pos, int64_t& next) {
  if (pos < 0) return Step::Bottom;
  if (region[pos + kTypeAt] == RecordStore::kTypeFree) return Step::Free;
  uint32_t len = loadU32(region + pos + kLengthAt);
  if (len > pos || (len & 1) || len < RecordStore::kMinDataLength) return Step::Broken;
  next = pos - int64_t(len) - RecordStore::kTrailerSize;
  return Step::Record;
}

}  // namespace

RecordStore::RecordStore() : m_region(new uint8_t[kRegionSize]) { reset(); }

RecordStore::~RecordStore() = default;

void RecordStore::reset() {
  ++m_generation;
  std::memset(m_region.get(), kTypeFree, kRegionSize);
  m_random = 1;
  scan();
}

uint32_t RecordStore::dataLength(uint32_t trailer) const {
  return loadU32(m_region.get() + trailer + kLengthAt);
}

uint32_t RecordStore::checksum(uint32_t trailer) const {
  return loadU32(m_region.get() + trailer + kChecksumAt);
}

uint32_t RecordStore::computeChecksum(const uint8_t* data, uint32_t length) {
  uint32_t sum = 0xABCDEF12u;
  for (uint32_t i = 0; i + 1 < length; i += 2) {
    uint32_t word = uint32_t(data[i]) | uint32_t(data[i + 1]) << 8;
    sum = ((sum >> 1) | (sum << 31)) + word;
  }
  return sum;
}

void RecordStore::scan() {
  ++m_generation;
  const uint8_t* r = m_region.get();
  int64_t pos = kTop;
  int64_t next = 0;
  while (stepAt(r, pos, next) == Step::Record) {
    uint32_t p = uint32_t(pos);
    if (isLive(type(p)) && computeChecksum(data(p), dataLength(p)) != checksum(p)) {
      m_region[p + kTypeAt] = kTypeDeleted;
      m_region[p + kTagAt] = 0;
    }
    pos = next;
  }
}

int RecordStore::freePosition() const {
  int64_t pos = kTop;
  int64_t next = 0;
  for (;;) {
    switch (stepAt(m_region.get(), pos, next)) {
      case Step::Free: return int(pos);
      case Step::Bottom: return -1;
      case Step::Broken: return +ErrorCode::PositionOutsideRegion;
      case Step::Record: pos = next; break;
    }
  }
}

int RecordStore::newest(uint8_t wanted) const {
  int found = -1;
  int64_t pos = kTop;
  int64_t next = 0;
  while (stepAt(m_region.get(), pos, next) == Step::Record) {
    uint8_t t = type(uint32_t(pos));
    if (isLive(t) && (t & ~0x40) == wanted) found = int(pos);
    pos = next;
  }
  return found;
}

bool RecordStore::tagInUse(uint8_t wanted) const { return findTag(wanted) >= 0; }

int RecordStore::findTag(uint8_t wanted) const {
  int64_t pos = kTop;
  int64_t next = 0;
  while (stepAt(m_region.get(), pos, next) == Step::Record) {
    if (isLive(type(uint32_t(pos))) && tag(uint32_t(pos)) == wanted) return int(pos);
    pos = next;
  }
  return -1;
}

int RecordStore::chooseTag(uint8_t& out) {
  m_random = m_random * 1103515245u + 12345u;
  uint8_t t = uint8_t(m_random >> 16);
  if (t == 0 || t == 255) t = 1;
  for (int attempt = 0; attempt < 254; ++attempt) {
    if (!tagInUse(t)) {
      out = t;
      return 0;
    }
    t = uint8_t(t % 254 + 1);  // 1..254, wrapping
  }
  return +ErrorCode::NoFreeRecordTag;
}

int RecordStore::findSpace(uint32_t length) const {
  int pos = freePosition();
  if (pos < 0) return pos;
  return uint32_t(pos) >= length ? pos : -1;
}

int RecordStore::allocate(uint8_t recordType, uint32_t length) {
  if (recordType == kTypeDeleted || recordType == kTypeFree) return +ErrorCode::BadRecordType;
  uint64_t len = std::max<uint64_t>((uint64_t(length) + 1) & ~uint64_t(1), kMinDataLength);
  if (len > kRegionSize) return +ErrorCode::RecordStoreFull;

  ++m_generation;
  uint8_t newTag = 0;
  if (int rc = chooseTag(newTag); rc < 0) return rc;

  int pos = findSpace(uint32_t(len));
  if (pos == -1) {
    if (int rc = compact(); rc < 0) return rc;
    pos = findSpace(uint32_t(len));
    if (pos == -1) return +ErrorCode::RecordStoreFull;
  }
  if (pos < 0) return pos;

  uint8_t* t = m_region.get() + pos;
  t[kTypeAt] = recordType;
  t[kTagAt] = newTag;
  t[2] = 0;
  t[3] = 0;
  storeU32(t + kLengthAt, uint32_t(len));
  storeU32(t + kChecksumAt, kUnsealed);
  return pos;
}

int RecordStore::seal(uint32_t trailer) {
  if (trailer > kTop) return +ErrorCode::PositionOutsideRegion;
  uint32_t len = dataLength(trailer);
  if (len > trailer) return +ErrorCode::PositionOutsideRegion;
  ++m_generation;
  storeU32(m_region.get() + trailer + kChecksumAt, computeChecksum(data(trailer), len));
  return 0;
}

int RecordStore::remove(uint32_t trailer) {
  if (trailer > kTop) return +ErrorCode::PositionOutsideRegion;
  uint8_t oldType = type(trailer);
  uint8_t oldTag = tag(trailer);
  if (!isLive(oldType)) return 0;
  ++m_generation;
  m_region[trailer + kTypeAt] = kTypeDeleted;
  m_region[trailer + kTagAt] = 0;
  if (!(oldType & 0x80)) deleteOwned(oldTag, oldTag == 0);
  return 0;
}

void RecordStore::deleteOwned(uint8_t ownerTag, bool anyTag) {
  int64_t pos = kTop;
  int64_t next = 0;
  while (stepAt(m_region.get(), pos, next) == Step::Record) {
    uint32_t p = uint32_t(pos);
    uint8_t t = type(p);
    if (isLive(t) && (t & 0x80) && (anyTag || tag(p) == ownerTag)) remove(p);
    pos = next;
  }
}

int RecordStore::compact() {
  // Records are moved up one by one from the top down; a destination never
  // reaches below its own source, so memmove on the region is safe. The
  // bytes freed below the new bottom become free space again (255), page by
  // page in the original, here in one fill with the same result.
  ++m_generation;
  uint8_t* r = m_region.get();
  int64_t pos = kTop;
  int64_t next = 0;
  uint32_t dst = kRegionSize;  // lower end of the live records moved so far
  uint32_t bottom = kRegionSize;  // lower end of everything walked
  for (;;) {
    Step s = stepAt(r, pos, next);
    if (s == Step::Broken) return +ErrorCode::PositionOutsideRegion;
    if (s != Step::Record) break;
    uint32_t p = uint32_t(pos);
    uint32_t total = dataLength(p) + kTrailerSize;
    uint32_t start = p + kTrailerSize - total;
    if (isLive(type(p))) {
      if (dst != p + kTrailerSize) std::memmove(r + dst - total, r + start, total);
      dst -= total;
    }
    bottom = start;
    pos = next;
  }
  if (dst > bottom) std::memset(r + bottom, kTypeFree, dst - bottom);
  return 0;
}

RecordStore& recordStore() {
  static RecordStore store;
  return store;
}

void resetRecordStore() { recordStore().reset(); }

CategoryListView currentCategoryList() {
  RecordStore& rs = recordStore();
  int pos = rs.newest(RecordStore::kTypeCategoryList);
  if (pos < 0) return {};
  uint32_t count = rs.dataLength(uint32_t(pos)) / kCategoryEntrySize;
  return {reinterpret_cast<const CategoryEntry*>(rs.data(uint32_t(pos))), count};
}

int copyCurrentCategoryList(BlockId& list) {
  BlockStore& bs = blockStore();
  CategoryListView current = currentCategoryList();
  list = 0;
  if (current.count >= 3) {
    if (int rc = bs.insert(list, ElementType::CategoryEntry, 0, current.count); rc < 0) return rc;
    std::memcpy(bs.elements(list), current.entries, size_t(current.count) * kCategoryEntrySize);
    reinterpret_cast<CategoryEntry*>(bs.elements(list))->name[1] = 0;
    return 0;
  }
  return newCategoryList(list);
}

int newCategoryList(BlockId& list) {
  // The root and the folders of own and received categories. Their names
  // are empty; the letters at position 1 only tell them apart in a dump.
  BlockStore& bs = blockStore();
  list = 0;
  if (int rc = bs.insert(list, ElementType::CategoryEntry, 0, 3); rc < 0) return rc;
  auto* e = reinterpret_cast<CategoryEntry*>(bs.elements(list));
  e[0].subtree = 2;
  e[1].name[1] = 'A';
  e[2].name[1] = 'B';
  return 0;
}

int commitCategoryList(BlockId list) {
  BlockStore& bs = blockStore();
  uint32_t count = bs.count(list);
  if (count == 0 || !bs.elements(list)) return +ErrorCode::InvalidBlockId;
  if (count > kMaxCategoryEntries + 1) return +ErrorCode::CategoryListTooLarge;
  RecordStore& rs = recordStore();
  // The new record is written before the old one is deleted, so that a
  // failing allocation leaves the list in force untouched. Tags are unique
  // among live records and survive compaction, so the old record is found
  // again by its tag.
  int old = rs.newest(RecordStore::kTypeCategoryList);
  int oldTag = old >= 0 ? rs.tag(uint32_t(old)) : -1;
  int pos = rs.allocate(RecordStore::kTypeCategoryList, count * kCategoryEntrySize);
  if (pos < 0) return pos;
  std::memcpy(rs.data(uint32_t(pos)), bs.elements(list), size_t(count) * kCategoryEntrySize);
  if (int rc = rs.seal(uint32_t(pos)); rc < 0) return rc;
  if (oldTag >= 0) {
    int again = rs.findTag(uint8_t(oldTag));
    if (again >= 0 && again != pos) rs.remove(uint32_t(again));
  }
  return 0;
}

bool activeCategoryListContains(uint16_t id) {
  static std::bitset<65536> ids;
  static uint64_t builtFor = ~uint64_t(0);
  RecordStore& rs = recordStore();
  if (builtFor != rs.generation()) {
    ids.reset();
    CategoryListView list = currentCategoryList();
    for (uint32_t i = 0; i < list.count; ++i)
      if (list[i].id != 0) ids.set(list[i].id);
    builtFor = rs.generation();
  }
  return id != 0 && ids.test(id);
}

}  // namespace vltrx
