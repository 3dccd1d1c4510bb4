// The record store: a 4 MiB region of checksummed records growing from the
// top downwards, which holds the category list in force.
#pragma once

#include "core/BlockStore.h"
#include "core/CategoryEntry.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace vltrx {

/// One process-wide region of records. Each record is its data (even length,
/// at least 16 bytes) followed by a 12-byte trailer:
///   +0 type (u8; 0 deleted, 255 free space)  +1 tag (u8, 1-254)
///   +2 reserved (u16)  +4 data length (u32)  +8 checksum (u32, 0xFFFFFFFF
///   while the record is being written).
/// A record is named by the offset of its trailer in the region.
class RecordStore {
 public:
  static constexpr uint32_t kRegionSize = 4194304;
  static constexpr uint32_t kTrailerSize = 12;
  static constexpr uint32_t kPageSize = 4096;
  static constexpr uint32_t kMinDataLength = 16;
  static constexpr uint8_t kTypeDeleted = 0;
  static constexpr uint8_t kTypeFree = 255;
  static constexpr uint8_t kTypeCategoryList = 7;
  static constexpr uint32_t kUnsealed = 0xFFFFFFFFu;

  /// A fresh region: every byte 255, scanned once.
  RecordStore();
  ~RecordStore();
  RecordStore(const RecordStore&) = delete;
  RecordStore& operator=(const RecordStore&) = delete;

  /// Refills the region with 255 and restarts the tag generator, as at
  /// program start.
  void reset();

  /// Start-up scan from the top: a record whose checksum does not match its
  /// data is marked deleted; the scan stops at free space or at the first
  /// trailer whose data would lie outside the region, is odd-sized or
  /// shorter than 16 bytes.
  void scan();

  /// Allocates a record of type `type` for `length` bytes of data (rounded:
  /// max(length + 1 rounded down to even, 16)) with a fresh tag; the data is
  /// left as it was (255 in a fresh region) and the checksum 0xFFFFFFFF.
  /// Returns the trailer offset, or -603 (type 0 or 255), -607 (no free tag),
  /// -601 (full even after compaction), -103 (broken chain of trailers).
  int allocate(uint8_t type, uint32_t length);

  /// Computes and stores the checksum of the record at `trailer`.
  int seal(uint32_t trailer);

  /// Deletes the record at `trailer`; a record whose type has bit 7 clear
  /// takes the live records with the same tag (any live record when its tag
  /// was 0) whose type has bit 7 set with it.
  int remove(uint32_t trailer);

  /// Squeezes out deleted records, moving live ones up to stay contiguous
  /// below the top; freed space is refilled with 255. 0 or -103.
  int compact();

  // Record access by trailer offset (no checks beyond the region bounds).
  uint8_t type(uint32_t trailer) const { return m_region[trailer]; }
  uint8_t tag(uint32_t trailer) const { return m_region[trailer + 1]; }
  uint32_t dataLength(uint32_t trailer) const;
  uint32_t checksum(uint32_t trailer) const;
  uint8_t* data(uint32_t trailer) { return m_region.get() + trailer - dataLength(trailer); }
  const uint8_t* data(uint32_t trailer) const { return m_region.get() + trailer - dataLength(trailer); }

  /// Offset of the trailer where the next record would go (the first trailer
  /// position, from the top, whose type byte is 255); -1 when the region is
  /// used up to its bottom, -103 when the chain of trailers is broken.
  int freePosition() const;

  /// Trailer offset of the newest live record whose type with bit 6 cleared
  /// equals `type`; -1 when there is none.
  int newest(uint8_t type) const;

  /// Whether a live record carries `tag`.
  bool tagInUse(uint8_t tag) const;

  /// Trailer offset of the live record carrying `tag`; -1 when there is none.
  int findTag(uint8_t tag) const;

  /// Raised by every change of the region, so that callers can tell whether
  /// what they derived from its records is still current.
  uint64_t generation() const { return m_generation; }

  /// The raw region (tests use it to damage records).
  uint8_t* region() { return m_region.get(); }

  /// Checksum of `length` bytes (even) as 16-bit little-endian words: start
  /// with 0xABCDEF12, for each word rotate right by 1 and add the word.
  static uint32_t computeChecksum(const uint8_t* data, uint32_t length);

 private:
  bool isLive(uint8_t t) const { return t != kTypeDeleted && t != kTypeFree; }
  int findSpace(uint32_t length) const;
  int chooseTag(uint8_t& tag);
  void deleteOwned(uint8_t tag, bool anyTag);

  std::unique_ptr<uint8_t[]> m_region;
  uint32_t m_random = 1;  // state of the tag generator
  uint64_t m_generation = 0;
};

/// The process-wide record store.
RecordStore& recordStore();

/// Refills the process-wide region with 255, as at program start (tests).
void resetRecordStore();

// --- the category list in force (ActiveCategoryList) -------------------------

/// The entries of a category list record. Points into the region: valid until
/// the next change of the record store (commit, allocation, compaction).
struct CategoryListView {
  const CategoryEntry* entries = nullptr;
  uint32_t count = 0;
  bool empty() const { return count == 0; }
  const CategoryEntry& operator[](uint32_t i) const { return entries[i]; }
};

/// The current category list: the data of the newest live record whose type
/// with bit 6 cleared is 7; empty when there is none.
CategoryListView currentCategoryList();

/// A new fresh category list: the root (subtree 2) and two folders with
/// empty names, the user's own categories and the received ones. 0 or -602.
int newCategoryList(BlockId& list);

/// A new typed array (88-byte entries) with a copy of the current list, byte
/// 1 of the root entry's name set to 0. Without a current list of at least 3
/// entries a fresh list is made: the root (subtree 2) and two empty folders,
/// the user's own categories and the received ones. 0 or -602.
int copyCurrentCategoryList(BlockId& list);

/// Makes the typed array `list` the category list in force: writes its
/// entries as a new type-7 record with a fresh tag, seals it and deletes the
/// previous one. The previous list stays in force when this fails: -611 (more
/// than 1024 entries below the root), -613 (no such array), -601, -607, -103.
int commitCategoryList(BlockId list);

/// Whether a category (not a folder) with this id is in the current list.
/// Answers from a table rebuilt only when the record store has changed.
bool activeCategoryListContains(uint16_t id);

}  // namespace vltrx
