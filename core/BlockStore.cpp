// Block table, id reuse, typed arrays and text blocks of the measurement store.
#include "core/BlockStore.h"

#include "core/CError.h"

#include <sys/mman.h>

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

// Blocks of 2 MiB or more (the point arrays of large layouts) live in
// anonymous mappings of their own, 2 MiB aligned and a whole number of 2 MiB
// long, that may be backed by transparent huge pages: one page fault then
// maps 2 MiB instead of 4 KiB. Fresh mapped pages are zero, so such blocks
// are never memset, and bytes of the mapping beyond the block size are kept
// zero, so growing within the mapping needs no work at all. Whether a block
// is mapped follows from its size alone.
constexpr size_t kHugeBlock = size_t(2) << 20;

bool isMapped(uint64_t size) { return size >= kHugeBlock; }

size_t mappedBytes(uint64_t size) { return static_cast<size_t>((size + kHugeBlock - 1) & ~uint64_t(kHugeBlock - 1)); }

// A 2 MiB aligned mapping of bytes (a multiple of 2 MiB) with the given
// protection, or nullptr.
uint8_t* mapAligned(size_t bytes, int protection) {
  void* raw = mmap(nullptr, bytes + kHugeBlock, protection, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  uintptr_t start = reinterpret_cast<uintptr_t>(raw);
  uintptr_t aligned = (start + kHugeBlock - 1) & ~uintptr_t(kHugeBlock - 1);
  // Trim the slack in front of and behind the aligned part.
  if (aligned > start) munmap(raw, aligned - start);
  if (size_t after = start + kHugeBlock - aligned) munmap(reinterpret_cast<void*>(aligned + bytes), after);
  return reinterpret_cast<uint8_t*>(aligned);
}

// A zero-filled mapped block of size bytes (isMapped(size)), or nullptr.
uint8_t* mapBlock(uint32_t size) {
  const size_t bytes = mappedBytes(size);
  uint8_t* data = mapAligned(bytes, PROT_READ | PROT_WRITE);
  // Only a hint: without huge pages the block works the same.
  if (data) madvise(data, bytes, MADV_HUGEPAGE);
  return data;
}

// Grows a mapped block to a larger mapping; the new part is zero. Extends in
// place where the address space behind it is free, else moves the pages
// (not their contents) to a new aligned place. nullptr when that fails; the
// block is then unchanged.
uint8_t* growMapping(uint8_t* data, size_t oldBytes, size_t newBytes) {
  if (mremap(data, oldBytes, newBytes, 0) != MAP_FAILED) return data;
  uint8_t* target = mapAligned(newBytes, PROT_NONE);
  if (!target) return nullptr;
  void* moved = mremap(data, oldBytes, newBytes, MREMAP_MAYMOVE | MREMAP_FIXED, target);
  if (moved == MAP_FAILED) {
    munmap(target, newBytes);
    return nullptr;
  }
  madvise(target, newBytes, MADV_HUGEPAGE);
  return target;
}

// Memory of a block of size bytes: mapped, or a heap block of at least 1 byte.
// Zero-filled when zero is set (mapped blocks always are).
uint8_t* acquire(uint32_t size, bool zero) {
  if (isMapped(size)) return mapBlock(size);
  void* data = zero ? std::calloc(std::max<uint32_t>(size, 1), 1) : std::malloc(std::max<uint32_t>(size, 1));
  return static_cast<uint8_t*>(data);
}

void release(uint8_t* data, uint32_t size) {
  if (!data) return;
  if (isMapped(size))
    munmap(data, mappedBytes(size));
  else
    std::free(data);
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

BlockId BlockStore::allocate(uint32_t size) { return allocateBlock(size, false, true); }

BlockId BlockStore::allocateSmall(uint32_t size) { return allocateBlock(size, true, true); }

BlockId BlockStore::allocateBlock(uint32_t size, bool small, bool zero) {
  uint8_t* data = acquire(size, zero);
  if (!data) return 0;
  BlockId id = takeId(small);
  if (id == 0) {
    release(data, size);
    return 0;
  }
  m_entries[id - kFirstId] = Entry{data, size};
  ++m_live;
  return id;
}

int BlockStore::resize(BlockId id, uint32_t newSize) {
  Entry* e = entry(id);
  if (!e) return +ErrorCode::InvalidBlockId;
  const uint32_t oldSize = e->size;
  uint8_t* data = e->data;
  if (isMapped(oldSize) && isMapped(newSize)) {
    const size_t oldBytes = mappedBytes(oldSize), newBytes = mappedBytes(newSize);
    if (newBytes > oldBytes) {
      data = growMapping(data, oldBytes, newBytes);
      if (!data) return +ErrorCode::StorageExceeded;
    } else if (newSize < oldSize) {
      // Keep the bytes behind the block zero; whole 2 MiB steps go back.
      std::memset(data + newSize, 0, std::min<size_t>(oldSize, newBytes) - newSize);
      if (newBytes < oldBytes) munmap(data + newBytes, oldBytes - newBytes);
    }
  } else if (isMapped(oldSize) || isMapped(newSize)) {
    // Between heap and mapping: a fresh (zero) block and a copy of the
    // common part.
    uint8_t* fresh = acquire(newSize, false);
    if (!fresh) return +ErrorCode::StorageExceeded;
    std::memcpy(fresh, data, std::min(oldSize, newSize));
    release(data, oldSize);
    data = fresh;
  } else {
    // realloc keeps the common part and frees the old memory; it may extend
    // the block in place, which a copy into a fresh block never could.
    void* grown = std::realloc(data, std::max<uint32_t>(newSize, 1));
    if (!grown) return +ErrorCode::StorageExceeded;
    data = static_cast<uint8_t*>(grown);
    if (newSize > oldSize) std::memset(data + oldSize, 0, newSize - oldSize);
  }
  e->data = data;
  e->size = newSize;
  return 0;
}

int BlockStore::free(BlockId id) {
  Entry* e = entry(id);
  if (!e) return +ErrorCode::InvalidBlockId;
  release(e->data, e->size);
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
  for (Entry& e : m_entries) release(e.data, e.size);
  // Swapping with empty vectors hands the table's memory back as well.
  std::vector<Entry>().swap(m_entries);
  std::vector<FreeId>().swap(m_freeSmall);
  std::vector<FreeId>().swap(m_freeLarge);
  std::vector<FreeId>().swap(m_freeReserved);
  m_stamp = 0;
  std::vector<std::unique_ptr<PointExtra[]>>().swap(m_extraChunks);
  std::vector<bool>().swap(m_extraUsed);
  std::vector<uint32_t>().swap(m_freeExtras);
  m_liveExtras = 0;
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
  // Bytes from here on are zero: a grown block's new tail already is.
  const uint64_t zeroFrom = e->size;
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
  // The gap held old elements (or stale bytes left by a removal) only where
  // it lies below the old size; the move writes above the gap, never into it.
  const uint64_t gapStart = at - e->data;
  if (gapStart < zeroFrom) std::memset(at, 0, std::min<uint64_t>(gap, zeroFrom - gapStart));
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
  // Every byte is written below, so the block needs no zero fill first.
  const uint32_t size = static_cast<uint32_t>(text.size() + 1);
  BlockId id = allocateBlock(size, false, false);
  if (id == 0) return +ErrorCode::StorageExceeded;
  uint8_t* data = pointer(id);
  std::memcpy(data, text.data(), text.size());
  data[text.size()] = 0;
  field = id;
  return 0;
}

std::string_view BlockStore::text(BlockId id) const {
  const Entry* e = entry(id);
  if (!e || e->size == 0) return {};
  const char* s = reinterpret_cast<const char*>(e->data);
  return std::string_view(s, strnlen(s, e->size));
}

// --- point extras ------------------------------------------------------------

uint32_t BlockStore::allocateExtra() {
  uint32_t handle;
  try {
    if (!m_freeExtras.empty()) {
      handle = m_freeExtras.back();
      m_freeExtras.pop_back();
    } else {
      if (m_extraUsed.size() >= UINT32_MAX - kExtraChunk) return 0;
      handle = static_cast<uint32_t>(m_extraUsed.size()) + 1;
      if ((handle - 1) % kExtraChunk == 0) m_extraChunks.push_back(std::make_unique<PointExtra[]>(kExtraChunk));
      m_extraUsed.push_back(false);
    }
  } catch (const std::bad_alloc&) {
    return 0;
  }
  m_extraUsed[handle - 1] = true;
  ++m_liveExtras;
  PointExtra* e = &m_extraChunks[(handle - 1) / kExtraChunk][(handle - 1) % kExtraChunk];
  *e = PointExtra{};
  return handle;
}

void BlockStore::freeExtra(uint32_t handle) {
  if (!extra(handle)) return;
  m_extraUsed[handle - 1] = false;
  --m_liveExtras;
  // A failed push only loses the handle for reuse.
  try {
    m_freeExtras.push_back(handle);
  } catch (const std::bad_alloc&) {
  }
}

PointExtra* BlockStore::extra(uint32_t handle) const {
  if (handle == 0 || handle > m_extraUsed.size() || !m_extraUsed[handle - 1]) return nullptr;
  return &m_extraChunks[(handle - 1) / kExtraChunk][(handle - 1) % kExtraChunk];
}

}  // namespace vltrx
