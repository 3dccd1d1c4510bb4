// Block table, id reuse, typed arrays and text blocks of the measurement store.
#include "core/BlockStore.h"

#include "core/CError.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace vltrx {
namespace {

uint32_t readCount(const uint8_t* block) {
  uint32_t n;
  std::memcpy(&n, block, 4);
  return n;
}

void writeCount(uint8_t* block, uint32_t n) { std::memcpy(block, &n, 4); }

// Spare elements when an array grows, and the slack above which a removal
// shrinks it. Small arrays follow the fixed growth step of their type (an
// MPoint array grows by 4, an MPolygon array by 2); from 8 steps on the spare
// grows with the array (an eighth of it, shrinking only above a quarter), so
// readers that append point by point stay linear: with a fixed step of 4,
// appending 1 million points one at a time would copy the array 250,000 times.
uint64_t growthSpare(const ElementInfo& info, uint64_t count) {
  if (info.growth == 0) return 0;
  return std::max<uint64_t>(info.growth, count / 8);
}

uint64_t shrinkSlack(const ElementInfo& info, uint64_t count) {
  if (info.growth == 0) return 0;
  return std::max<uint64_t>(info.growth, count / 4);
}

}  // namespace

BlockStore::~BlockStore() { clear(); }

BlockStore& blockStore() {
  static BlockStore store;
  return store;
}

BlockStore::Entry* BlockStore::entry(BlockId id) {
  if (id < kFirstId || id - kFirstId >= m_entries.size()) return nullptr;
  Entry& e = m_entries[id - kFirstId];
  return e.data ? &e : nullptr;
}

const BlockStore::Entry* BlockStore::entry(BlockId id) const {
  return const_cast<BlockStore*>(this)->entry(id);
}

BlockId BlockStore::takeId(bool small) {
  // The most recently released id among the stacks this kind of block may use.
  std::vector<FreeId>* candidates[2] = {&m_freeSmall, small ? &m_freeReserved : &m_freeLarge};
  std::vector<FreeId>* stack = nullptr;
  for (std::vector<FreeId>* c : candidates)
    if (!c->empty() && (!stack || c->back().stamp > stack->back().stamp)) stack = c;
  if (stack) {
    BlockId id = stack->back().id;
    stack->pop_back();
    return id;
  }
  return freshId(small);
}

BlockId BlockStore::freshId(bool small) {
  if (small && (m_counter > kMaxSmallId || m_counter == 0)) {
    // Plain blocks have used up the open part of the small range: lists take
    // the reserved ids, whose table entries exist since the counter jumped.
    if (m_reservedCounter > kMaxSmallId) return 0;
    return m_reservedCounter++;
  }
  if (m_counter == 0) return 0;  // all 2^32 ids used
  try {
    m_entries.emplace_back();
  } catch (const std::bad_alloc&) {
    return 0;
  }
  BlockId id = m_counter++;
  if (m_counter == kFirstReservedId) {
    // Step over the reserved range; its entries stay empty until
    // allocateSmall hands the ids out.
    try {
      m_entries.resize(kMaxSmallId + 1 - kFirstId);
    } catch (const std::bad_alloc&) {
      m_entries.pop_back();
      --m_counter;
      return 0;
    }
    m_counter = kMaxSmallId + 1;
  }
  return id;
}

void BlockStore::releaseId(BlockId id) {
  FreeId f{id, ++m_stamp};
  // A failed push only loses the id for reuse, never a block.
  try {
    if (id > kMaxSmallId)
      m_freeLarge.push_back(f);
    else if (id >= kFirstReservedId)
      m_freeReserved.push_back(f);
    else
      m_freeSmall.push_back(f);
  } catch (const std::bad_alloc&) {
  }
}

BlockId BlockStore::allocate(uint32_t size) {
  void* data = std::calloc(std::max<uint32_t>(size, 1), 1);
  if (!data) return 0;
  BlockId id = takeId(false);
  if (id == 0) {
    std::free(data);
    return 0;
  }
  m_entries[id - kFirstId] = Entry{static_cast<uint8_t*>(data), size};
  ++m_live;
  return id;
}

BlockId BlockStore::allocateSmall(uint32_t size) {
  void* data = std::calloc(std::max<uint32_t>(size, 1), 1);
  if (!data) return 0;
  BlockId id = takeId(true);
  if (id == 0) {
    std::free(data);
    return 0;
  }
  m_entries[id - kFirstId] = Entry{static_cast<uint8_t*>(data), size};
  ++m_live;
  return id;
}

int BlockStore::resize(BlockId id, uint32_t newSize) {
  Entry* e = entry(id);
  if (!e) return +ErrorCode::InvalidBlockId;
  // realloc keeps the common part and frees the old memory; it may extend the
  // block in place, which a copy into a fresh block never could.
  void* data = std::realloc(e->data, std::max<uint32_t>(newSize, 1));
  if (!data) return +ErrorCode::StorageExceeded;
  e->data = static_cast<uint8_t*>(data);
  if (newSize > e->size) std::memset(e->data + e->size, 0, newSize - e->size);
  e->size = newSize;
  return 0;
}

int BlockStore::free(BlockId id) {
  Entry* e = entry(id);
  if (!e) return +ErrorCode::InvalidBlockId;
  std::free(e->data);
  *e = Entry{};
  --m_live;
  releaseId(id);
  return 0;
}

uint8_t* BlockStore::pointer(BlockId id) const {
  const Entry* e = entry(id);
  return e ? e->data : nullptr;
}

uint32_t BlockStore::size(BlockId id) const {
  const Entry* e = entry(id);
  return e ? e->size : 0;
}

void BlockStore::clear() {
  for (Entry& e : m_entries) std::free(e.data);
  // Swapping with empty vectors hands the table's memory back as well.
  std::vector<Entry>().swap(m_entries);
  std::vector<FreeId>().swap(m_freeSmall);
  std::vector<FreeId>().swap(m_freeLarge);
  std::vector<FreeId>().swap(m_freeReserved);
  m_stamp = 0;
  m_counter = kFirstId;
  m_reservedCounter = kFirstReservedId;
  m_live = 0;
}

// --- typed arrays ----------------------------------------------------------

uint32_t BlockStore::count(BlockId id) const {
  const Entry* e = entry(id);
  if (!e || e->size < kArrayHeader) return 0;
  return readCount(e->data);
}

uint8_t* BlockStore::elements(BlockId id) const {
  const Entry* e = entry(id);
  if (!e || e->size < kArrayHeader) return nullptr;
  return e->data + kArrayHeader;
}

uint32_t BlockStore::capacity(BlockId id, ElementType type) const {
  const Entry* e = entry(id);
  if (!e || e->size < kArrayHeader) return 0;
  return (e->size - kArrayHeader) / elementInfo(type).size;
}

int BlockStore::insert(BlockId& id, ElementType type, uint32_t position, uint32_t n) {
  const ElementInfo info = elementInfo(type);
  constexpr uint64_t kMaxBlock = UINT32_MAX;
  if (id == 0) {
    if (position != 0) return +ErrorCode::InvalidBlockId;
    uint64_t bytes = kArrayHeader + uint64_t(n) * info.size;
    if (bytes > kMaxBlock) return +ErrorCode::StorageExceeded;
    BlockId created = allocate(static_cast<uint32_t>(bytes));
    if (created == 0) return +ErrorCode::StorageExceeded;
    writeCount(pointer(created), n);
    id = created;
    return 0;
  }
  Entry* e = entry(id);
  if (!e || e->size < kArrayHeader) return +ErrorCode::InvalidBlockId;
  const uint32_t count = readCount(e->data);
  if (position > count) return +ErrorCode::InvalidBlockId;
  if (n == 0) return 0;
  const uint64_t newCount = uint64_t(count) + n;
  if (newCount > UINT32_MAX) return +ErrorCode::StorageExceeded;
  const uint64_t cap = (e->size - kArrayHeader) / info.size;
  if (newCount > cap) {
    uint64_t wanted = newCount + growthSpare(info, newCount);
    uint64_t maxElements = (kMaxBlock - kArrayHeader) / info.size;
    if (newCount > maxElements) return +ErrorCode::StorageExceeded;
    wanted = std::min(wanted, maxElements);
    int rc = resize(id, static_cast<uint32_t>(kArrayHeader + wanted * info.size));
    if (rc < 0) return rc;
    e = entry(id);
  }
  uint8_t* base = e->data + kArrayHeader;
  uint8_t* at = base + uint64_t(position) * info.size;
  const size_t tail = size_t(count - position) * info.size;
  const size_t gap = size_t(n) * info.size;
  std::memmove(at + gap, at, tail);
  std::memset(at, 0, gap);
  writeCount(e->data, static_cast<uint32_t>(newCount));
  return 0;
}

int BlockStore::remove(BlockId& id, ElementType type, uint32_t position, uint32_t n) {
  const ElementInfo info = elementInfo(type);
  Entry* e = entry(id);
  if (!e || e->size < kArrayHeader) return +ErrorCode::InvalidBlockId;
  const uint32_t count = readCount(e->data);
  if (position > count) return +ErrorCode::InvalidBlockId;
  n = std::min(n, count - position);
  if (n == 0) return 0;
  const uint32_t newCount = count - n;
  if (newCount == 0) {
    free(id);
    id = 0;
    return 0;
  }
  uint8_t* at = e->data + kArrayHeader + size_t(position) * info.size;
  std::memmove(at, at + size_t(n) * info.size, size_t(count - position - n) * info.size);
  writeCount(e->data, newCount);
  const uint64_t cap = (e->size - kArrayHeader) / info.size;
  if (cap - newCount > shrinkSlack(info, newCount)) {
    // Shrinking in place cannot fail for lack of memory in practice; if it
    // does, the larger block simply stays.
    resize(id, static_cast<uint32_t>(kArrayHeader + uint64_t(newCount) * info.size));
  }
  return 0;
}

// --- texts -------------------------------------------------------------------

int BlockStore::setText(BlockId& field, std::string_view text) {
  if (field != 0) {
    free(field);
    field = 0;
  }
  if (text.empty()) return 0;
  if (text.size() >= UINT32_MAX) return +ErrorCode::StorageExceeded;
  BlockId id = allocate(static_cast<uint32_t>(text.size() + 1));
  if (id == 0) return +ErrorCode::StorageExceeded;
  std::memcpy(pointer(id), text.data(), text.size());
  field = id;
  return 0;
}

std::string_view BlockStore::text(BlockId id) const {
  const Entry* e = entry(id);
  if (!e || e->size == 0) return {};
  const char* s = reinterpret_cast<const char*>(e->data);
  return std::string_view(s, strnlen(s, e->size));
}

}  // namespace vltrx
