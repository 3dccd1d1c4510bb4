// The process-wide block store that holds all measurement data: zero-filled
// heap blocks addressed by 32-bit ids, typed arrays (a u32 element count
// followed by fixed-size elements) and text blocks. Records inside blocks
// refer to each other by BlockId, never by pointer, so blocks may move when
// they grow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <type_traits>
#include <vector>

namespace vltrx {

/// Id of a block; 0 never names a block and means "none" in every record field.
using BlockId = uint32_t;

/// A field of a fixed-width record at any byte offset. Records lie in blocks
/// at offsets that ignore alignment (an MPoint array starts 4 bytes into its
/// block, elements are 36 bytes apart), so every multi-byte field is read and
/// written through memcpy: `p.x = 5; double x = p.x; p.number += 1;` work as
/// with a plain member, while binding a `const double&` to the field (which
/// would be a misaligned access) does not compile.
template <typename T>
struct Unaligned {
  static_assert(std::is_trivially_copyable_v<T>);
  unsigned char bytes[sizeof(T)];

  T get() const {
    T v;
    std::memcpy(&v, bytes, sizeof v);
    return v;
  }
  operator T() const { return get(); }
  Unaligned& operator=(T v) {
    std::memcpy(bytes, &v, sizeof v);
    return *this;
  }
  Unaligned& operator+=(T d) { return *this = static_cast<T>(get() + d); }
  Unaligned& operator-=(T d) { return *this = static_cast<T>(get() - d); }
  Unaligned& operator*=(T f) { return *this = static_cast<T>(get() * f); }
  Unaligned& operator++() { return *this += T(1); }
  Unaligned& operator--() { return *this -= T(1); }
  T operator++(int) {
    T old = get();
    ++*this;
    return old;
  }
  T operator--(int) {
    T old = get();
    --*this;
    return old;
  }
};

/// Element types of typed arrays.
enum class ElementType : uint8_t {
  Point,          // MPoint, 36 bytes, growth step 4
  Polygon,        // MPolygon, 12 bytes, growth step 2
  CategoryEntry,  // CategoryList entry, 88 bytes, growth step 8
  CategoryId,     // u16 member of a CategorySet, 2 bytes, growth step 0
  PointValue,     // PointValue, 6 bytes, growth step 0
};

struct ElementInfo {
  uint32_t size;    // bytes per element
  uint32_t growth;  // spare elements added when the array has to grow
};

/// Element size and growth step of a typed-array element type.
constexpr ElementInfo elementInfo(ElementType type) {
  switch (type) {
    case ElementType::Point: return {36, 4};
    case ElementType::Polygon: return {12, 2};
    case ElementType::CategoryEntry: return {88, 8};
    case ElementType::CategoryId: return {2, 0};
    case ElementType::PointValue: return {6, 0};
  }
  return {1, 0};
}

/// Bytes of the element count in front of the elements of a typed array.
constexpr uint32_t kArrayHeader = 4;

/// The fields of a point that most points do not use, kept out of line so
/// that a bare point record stays small: its comment, name and value blocks,
/// date and time, station, location, temperature and polar observation. A
/// point without any of them has none (every field at its default).
struct PointExtra {
  BlockId comment = 0;  // text block
  BlockId name = 0;     // text block: the source (e.g. alphanumeric) point id
  BlockId value = 0;    // one-element PointValue array
  uint32_t dateTime = 0;  // PackedDateTime, 0 = none
  uint32_t station = 0;   // 0 = none
  uint16_t location = 0;  // 0 = none
  int8_t temperature = -128;  // degrees, -128 = none
  uint8_t polar[11] = {};     // PolarObservation bytes, all zero = none
  bool isDefault() const {
    static constexpr uint8_t kNoPolar[11] = {};
    return comment == 0 && name == 0 && value == 0 && dateTime == 0 && station == 0 && location == 0 &&
           temperature == -128 && std::memcmp(polar, kNoPolar, sizeof polar) == 0;
  }
};

class BlockStore {
 public:
  /// The first id the counter hands out.
  static constexpr BlockId kFirstId = 257;
  /// Highest id that fits the 16-bit categories field of a record.
  static constexpr BlockId kMaxSmallId = 0xFFFF;
  /// First id of the top range of small ids that only allocateSmall hands out
  /// (the 16,384 ids 49152..65535), so category lists still find an id after
  /// plain blocks (texts, values) have used up the rest of the small range.
  static constexpr BlockId kFirstReservedId = 0xC000;

  BlockStore() = default;
  ~BlockStore();
  BlockStore(const BlockStore&) = delete;
  BlockStore& operator=(const BlockStore&) = delete;

  // --- blocks --------------------------------------------------------------
  /// A new zero-filled block of size bytes. Takes the most recently released
  /// id, else the next counter value; ids of the reserved small range
  /// (kFirstReservedId..0xFFFF) are skipped. Returns 0 when memory or ids run out.
  BlockId allocate(uint32_t size);
  /// Like allocate, but the id is at most 0xFFFF and its low 16 bits are not
  /// 0, so it fits a 16-bit record field: the most recently released such id,
  /// else the counter while it is still below the reserved range, else the
  /// next reserved id. Returns 0 when none is left.
  BlockId allocateSmall(uint32_t size);
  /// Gives the block the new total size: the common part is kept, a new tail
  /// is zero. 0, -613 for an unknown id, -602 when memory runs out (the block
  /// is then unchanged).
  int resize(BlockId id, uint32_t newSize);
  /// Releases the block and its id. 0, or -613 for an unknown id.
  int free(BlockId id);
  /// The block's bytes, or nullptr for an id that names no block.
  uint8_t* pointer(BlockId id) const;
  /// The block's size in bytes, 0 for an id that names no block.
  uint32_t size(BlockId id) const;
  bool contains(BlockId id) const { return pointer(id) != nullptr; }
  /// Number of live blocks.
  size_t blockCount() const { return m_live; }
  /// Releases every block and starts the ids again at 257.
  void clear();

  // --- typed arrays ----------------------------------------------------------
  /// Element count of the typed array id (0 for id 0 or an unknown id).
  uint32_t count(BlockId id) const;
  /// Pointer to the first element, nullptr for an unknown id. Valid until the
  /// next insert into or removal from the same array.
  uint8_t* elements(BlockId id) const;
  /// Capacity of the typed array: (block size - 4) / element size.
  uint32_t capacity(BlockId id, ElementType type) const;
  /// Makes room for n zero elements at position (the tail moves up) and raises
  /// the count. With id 0 a new array of exactly n elements is created and id
  /// is set to it. When the new count exceeds the capacity the block grows to
  /// hold the new count plus the spare elements (see .cpp). 0, -613 for an
  /// unknown id or a position beyond the count, -602 when memory runs out.
  int insert(BlockId& id, ElementType type, uint32_t position, uint32_t n);
  /// Removes up to n elements at position (clipped to the count). Removing
  /// every element frees the block and sets id to 0. 0, or -613.
  int remove(BlockId& id, ElementType type, uint32_t position, uint32_t n);

  // --- texts -----------------------------------------------------------------
  /// Replaces the text block held in field by a new block with text (UTF-8,
  /// zero-terminated); an empty text frees the block and stores 0. 0 or -602.
  /// (Record fields are Unaligned and cannot bind here: use the setters of
  /// Layout.h and MeasurementTree.h for them.)
  int setText(BlockId& field, std::string_view text);
  /// The text of a text block ("" for 0 or an unknown id).
  std::string_view text(BlockId id) const;

  // --- point extras ------------------------------------------------------------
  /// A new PointExtra with every field at its default, addressed by a handle
  /// (1, 2, ...; the most recently released one first); 0 when memory runs
  /// out. Extras live in chunks of a fixed number of records that never
  /// move, so a handle costs no heap block of its own.
  uint32_t allocateExtra();
  /// Releases the extra (not the blocks it refers to) and its handle.
  void freeExtra(uint32_t handle);
  /// The extra of a handle, nullptr for 0 or a handle that names none.
  PointExtra* extra(uint32_t handle) const;
  /// Number of live extras.
  size_t extraCount() const { return m_liveExtras; }

 private:
  struct Entry {
    uint8_t* data = nullptr;  // nullptr: id is free or was never handed out
    uint32_t size = 0;
  };
  struct FreeId {
    BlockId id;
    uint64_t stamp;  // release order, so two stacks together stay one LIFO
  };

  Entry* entry(BlockId id);
  const Entry* entry(BlockId id) const;
  // A new block of size bytes, zero-filled when zero is set (a caller that
  // writes every byte itself passes false); small as for allocateSmall.
  BlockId allocateBlock(uint32_t size, bool small, bool zero);
  BlockId takeId(bool small);
  BlockId freshId(bool small);
  void releaseId(BlockId id);

  // Table indexed directly by id - kFirstId. It covers every id the counter has
  // handed out, so ids stay ordered without a sorted search table, lookups
  // are O(1) and freeing a block never moves other entries: deleting a layout
  // of n points with n text blocks costs O(n), not O(n^2).
  std::vector<Entry> m_entries;
  // Released ids, split by whether they fit 16 bits; the stamps make the pair
  // behave as the single most-recently-released-first stack for allocate(),
  // while allocateSmall() can reuse small ids directly. Released ids of the
  // reserved range go back to allocateSmall() only.
  std::vector<FreeId> m_freeSmall;
  std::vector<FreeId> m_freeLarge;
  std::vector<FreeId> m_freeReserved;
  uint64_t m_stamp = 0;
  // Point extras: chunk k holds handles k * kExtraChunk + 1 .. (k + 1) * kExtraChunk;
  // m_extraUsed[h - 1] tells whether handle h is live.
  static constexpr uint32_t kExtraChunk = 4096;
  std::vector<std::unique_ptr<PointExtra[]>> m_extraChunks;
  std::vector<bool> m_extraUsed;
  std::vector<uint32_t> m_freeExtras;
  size_t m_liveExtras = 0;
  // The counter runs from 257 to kFirstReservedId - 1 and then jumps to
  // 0x10000; the reserved range has a counter of its own.
  BlockId m_counter = kFirstId;
  BlockId m_reservedCounter = kFirstReservedId;
  size_t m_live = 0;
};

/// The process-wide block store.
BlockStore& blockStore();

}  // namespace vltrx
