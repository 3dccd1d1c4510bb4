// The 88-byte entry of a category list: the category tree in force is a
// typed array of these, flattened in pre-order.
#pragma once

#include "core/Utf8.h"

#include <cstdint>
#include <cstring>
#include <string_view>

namespace vltrx {

/// One entry of a category list. Layout (little-endian, packed):
///   +0  name, 64 bytes UTF-8, zero-terminated (at most 63 bytes)
///   +64 id (u16): 0 folder, 1-9999 local category, 10000 and above fixed
///   +66 reserved (u16)
///   +68 folder: entries in its subtree (u32); category: red, green, blue,
///       one reserved byte
///   +72 surface kind (u32)
///   +76 fixed height of surface kind 3 in metres (f64)
///   +84 reserved up to 88 bytes
#pragma pack(push, 1)
struct CategoryColour {
  uint8_t red, green, blue, pad;
};

struct CategoryEntry {
  char name[64];
  uint16_t id;
  uint16_t reserved;
  union {
    uint32_t subtree;
    CategoryColour colour;
  };
  uint32_t surface;
  double fixedHeight;
  uint8_t tail[4];

  bool isFolder() const { return id == 0; }
  bool isFixed() const { return id >= kFirstFixedId; }
  bool isLocal() const { return id != 0 && id < kFirstFixedId; }
  /// Entries this one spans: itself and, for a folder, its subtree.
  uint32_t span() const { return isFolder() ? 1 + subtree : 1; }
  std::string_view nameView() const { return std::string_view(name, strnlen(name, sizeof name)); }

  /// Stores at most 63 bytes of text, not splitting a UTF-8 sequence.
  void setName(std::string_view text) {
    std::string_view cut = cutUtf8(text, sizeof name - 1);
    std::memset(name, 0, sizeof name);
    std::memcpy(name, cut.data(), cut.size());
  }

  static constexpr uint16_t kFirstFixedId = 10000;
};
#pragma pack(pop)
static_assert(sizeof(CategoryEntry) == 88, "a category list entry is 88 bytes");

/// Entry size and growth step of category-list typed arrays.
inline constexpr uint32_t kCategoryEntrySize = 88;
inline constexpr uint32_t kCategoryEntryGrowth = 8;
/// Entries below the root at most.
inline constexpr uint32_t kMaxCategoryEntries = 1024;
/// Folder levels of a category tree at most.
inline constexpr int kMaxCategoryDepth = 10;

}  // namespace vltrx
