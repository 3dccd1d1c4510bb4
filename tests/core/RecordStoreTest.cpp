// Tests of the record store region: sizes, tags, deletion, compaction, scan.
#include "core/RecordStore.h"

#include "core/BlockStore.h"
#include "core/CError.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace vltrx {
namespace {

constexpr uint32_t kTop = RecordStore::kRegionSize - RecordStore::kTrailerSize;

class RecordStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { resetRecordStore(); }
  void TearDown() override { resetRecordStore(); }
  RecordStore& rs = recordStore();

  // Allocates, fills the data with a pattern and seals it.
  uint32_t add(uint8_t type, uint32_t length, uint8_t fill) {
    int pos = rs.allocate(type, length);
    EXPECT_GE(pos, 0);
    std::memset(rs.data(pos), fill, rs.dataLength(pos));
    EXPECT_EQ(rs.seal(pos), 0);
    return uint32_t(pos);
  }
};

TEST_F(RecordStoreTest, DataLengthIsEvenAndAtLeastSixteen) {
  struct Case { uint32_t asked, reserved; };
  const Case cases[] = {{0, 16}, {1, 16}, {15, 16}, {16, 16}, {17, 18}, {18, 18}, {101, 102}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.asked);
    resetRecordStore();
    int pos = rs.allocate(RecordStore::kTypeCategoryList, c.asked);
    ASSERT_EQ(pos, int(kTop));
    EXPECT_EQ(rs.dataLength(pos), c.reserved);
    EXPECT_EQ(rs.checksum(pos), RecordStore::kUnsealed);
    EXPECT_EQ(rs.freePosition(), int(kTop - c.reserved - RecordStore::kTrailerSize));
  }
}

TEST_F(RecordStoreTest, RecordsGrowDownwardsWithDistinctTags) {
  uint32_t a = add(7, 20, 0x11);
  uint32_t b = add(7, 30, 0x22);
  EXPECT_EQ(a, kTop);
  EXPECT_EQ(b, kTop - 20 - RecordStore::kTrailerSize);
  EXPECT_NE(rs.tag(a), rs.tag(b));
  for (uint32_t p : {a, b}) {
    EXPECT_GE(rs.tag(p), 1);
    EXPECT_LE(rs.tag(p), 254);
  }
  // The first tag comes from the generator's first step from state 1:
  // bits 16-23 of 1 * 1103515245 + 12345 = 0x41C67EA6.
  EXPECT_EQ(rs.tag(a), 0xC6);
}

TEST_F(RecordStoreTest, FreeAndDeletedTypesAreRefused) {
  EXPECT_EQ(rs.allocate(0, 16), +ErrorCode::BadRecordType);
  EXPECT_EQ(rs.allocate(255, 16), +ErrorCode::BadRecordType);
  EXPECT_EQ(rs.freePosition(), int(kTop));
}

TEST_F(RecordStoreTest, ChecksumRotatesAndAddsLittleEndianWords) {
  const uint8_t bytes[] = {1, 0, 2, 0};
  // 0xABCDEF12 -> ror 1 = 0x55E6F789, +1 -> ror 1 = 0x2AF37BC5, +2.
  EXPECT_EQ(RecordStore::computeChecksum(bytes, 4), 0x2AF37BC7u);
  const uint8_t one[] = {0x01, 0x80};
  EXPECT_EQ(RecordStore::computeChecksum(one, 2), 0x55E6F789u + 0x8001u);
}

TEST_F(RecordStoreTest, ScanDeletesRecordWithWrongChecksum) {
  uint32_t good = add(7, 40, 0x33);
  uint32_t bad = add(7, 40, 0x44);
  uint32_t unsealed = uint32_t(rs.allocate(0x47, 16));
  rs.data(bad)[5] ^= 1;
  rs.scan();
  EXPECT_EQ(rs.type(good), 7);
  EXPECT_EQ(rs.type(bad), RecordStore::kTypeDeleted);
  EXPECT_EQ(rs.tag(bad), 0);
  EXPECT_EQ(rs.type(unsealed), RecordStore::kTypeDeleted);
  EXPECT_EQ(rs.newest(7), int(good));
}

TEST_F(RecordStoreTest, NewestCountsTypesWithBitSixSet) {
  uint32_t a = add(7, 16, 1);
  EXPECT_EQ(rs.newest(7), int(a));
  uint32_t b = add(7 | 0x40, 16, 2);
  EXPECT_EQ(rs.newest(7), int(b));
  add(8, 16, 3);
  EXPECT_EQ(rs.newest(7), int(b));
  rs.remove(b);
  EXPECT_EQ(rs.newest(7), int(a));
}

TEST_F(RecordStoreTest, ScanStopsAtBrokenTrailer) {
  uint32_t a = add(7, 16, 1);
  uint32_t b = add(7, 16, 2);
  rs.data(b)[0] ^= 1;          // b's checksum no longer matches
  rs.region()[a + 4] = 17;     // a's length is odd: the chain ends at a
  rs.scan();
  EXPECT_EQ(rs.type(b), 7);
  EXPECT_EQ(rs.freePosition(), +ErrorCode::PositionOutsideRegion);
  EXPECT_EQ(rs.allocate(7, 16), +ErrorCode::PositionOutsideRegion);
  EXPECT_EQ(rs.compact(), +ErrorCode::PositionOutsideRegion);
}

TEST_F(RecordStoreTest, DeletingOwnerDeletesRecordsWithItsTagAndBitSeven) {
  uint32_t owner = add(7, 16, 1);
  uint32_t owned = add(0x87, 16, 2);
  uint32_t other = add(0x87, 16, 3);
  uint32_t plain = add(8, 16, 4);
  rs.region()[owned + 1] = rs.tag(owner);
  rs.region()[plain + 1] = rs.tag(owner);  // bit 7 clear: not owned
  ASSERT_EQ(rs.remove(owner), 0);
  EXPECT_EQ(rs.type(owner), 0);
  EXPECT_EQ(rs.tag(owner), 0);
  EXPECT_EQ(rs.type(owned), 0);
  EXPECT_EQ(rs.type(other), 0x87);
  EXPECT_EQ(rs.type(plain), 8);
}

TEST_F(RecordStoreTest, OwnerWithTagZeroOwnsEveryBitSevenRecord) {
  uint32_t owner = add(7, 16, 1);
  uint32_t x = add(0x87, 16, 2);
  uint32_t y = add(0xC7, 16, 3);
  uint32_t z = add(9, 16, 4);
  rs.region()[owner + 1] = 0;
  rs.remove(owner);
  EXPECT_EQ(rs.type(x), 0);
  EXPECT_EQ(rs.type(y), 0);
  EXPECT_EQ(rs.type(z), 9);
  // An owned record deleted on its own takes nothing with it.
  uint32_t o2 = add(7, 16, 5);
  uint32_t w = add(0x87, 16, 6);
  rs.region()[w + 1] = rs.tag(o2);
  rs.remove(w);
  EXPECT_EQ(rs.type(o2), 7);
}

TEST_F(RecordStoreTest, CompactionSqueezesOutDeletedRecords) {
  uint32_t a = add(7, 100, 0xA1);
  uint32_t b = add(8, 5000, 0xB2);
  uint32_t c = add(9, 300, 0xC3);
  int freeBefore = rs.freePosition();
  rs.remove(b);
  ASSERT_EQ(rs.compact(), 0);
  EXPECT_EQ(rs.type(a), 7);
  uint32_t movedC = a - 100 - RecordStore::kTrailerSize;
  EXPECT_EQ(rs.type(movedC), 9);
  EXPECT_EQ(rs.dataLength(movedC), 300u);
  EXPECT_EQ(rs.data(movedC)[0], 0xC3);
  EXPECT_EQ(rs.data(movedC)[299], 0xC3);
  EXPECT_EQ(RecordStore::computeChecksum(rs.data(movedC), 300), rs.checksum(movedC));
  EXPECT_EQ(rs.freePosition(), freeBefore + 5000 + int(RecordStore::kTrailerSize));
  // Everything below the live records is free space again.
  const uint8_t* r = rs.region();
  for (uint32_t i = 0; i + 300 < movedC; ++i) ASSERT_EQ(r[i], 255) << i;
  (void)c;
}

TEST_F(RecordStoreTest, FullRegionCompactsOnceThenFails) {
  const uint32_t chunk = 65536;
  std::vector<uint32_t> records;
  for (;;) {
    int pos = rs.allocate(7, chunk);
    if (pos < 0) {
      EXPECT_EQ(pos, +ErrorCode::RecordStoreFull);
      break;
    }
    records.push_back(uint32_t(pos));
  }
  ASSERT_GT(records.size(), 60u);
  // Deleting one record in the middle makes room after compaction.
  rs.remove(records[10]);
  int pos = rs.allocate(7, chunk);
  ASSERT_GE(pos, 0);
  EXPECT_EQ(rs.allocate(7, chunk), +ErrorCode::RecordStoreFull);
  EXPECT_EQ(rs.allocate(7, RecordStore::kRegionSize), +ErrorCode::RecordStoreFull);
}

TEST_F(RecordStoreTest, NoFreeTagAfter254LiveRecords) {
  for (int i = 0; i < 254; ++i) ASSERT_GE(rs.allocate(7, 16), 0) << i;
  EXPECT_EQ(rs.allocate(7, 16), +ErrorCode::NoFreeRecordTag);
  // Deleted records give their tags back.
  rs.remove(kTop);
  EXPECT_GE(rs.allocate(7, 16), 0);
}

// --- the category list in force ---------------------------------------------

class ActiveCategoryListTest : public RecordStoreTest {
 protected:
  void TearDown() override {
    for (BlockId id : m_lists) blockStore().free(id);
    RecordStoreTest::TearDown();
  }
  BlockId copy() {
    BlockId list = 0;
    EXPECT_EQ(copyCurrentCategoryList(list), 0);
    m_lists.push_back(list);
    return list;
  }
  CategoryEntry* entries(BlockId list) { return reinterpret_cast<CategoryEntry*>(blockStore().elements(list)); }
  // Appends a category at the end of the list, below the root.
  void append(BlockId& list, const char* name, uint16_t id) {
    uint32_t n = blockStore().count(list);
    ASSERT_EQ(blockStore().insert(list, ElementType::CategoryEntry, n, 1), 0);
    entries(list)[n].setName(name);
    entries(list)[n].id = id;
    entries(list)[0].subtree += 1;
  }
  int liveListRecords() {
    int n = 0;
    for (uint32_t pos = kTop;; pos -= rs.dataLength(pos) + RecordStore::kTrailerSize) {
      if (rs.type(pos) == RecordStore::kTypeFree) break;
      if ((rs.type(pos) & ~0x40) == 7) ++n;
    }
    return n;
  }
  std::vector<BlockId> m_lists;
};

TEST_F(ActiveCategoryListTest, FreshListWithoutCurrentOne) {
  EXPECT_TRUE(currentCategoryList().empty());
  BlockId list = copy();
  ASSERT_EQ(blockStore().count(list), 3u);
  const CategoryEntry* e = entries(list);
  EXPECT_EQ(e[0].id, 0);
  EXPECT_EQ(e[0].subtree, 2u);
  for (int i : {1, 2}) {
    EXPECT_EQ(e[i].id, 0);
    EXPECT_EQ(e[i].subtree, 0u);
    EXPECT_EQ(e[i].name[0], 0);
    EXPECT_EQ(e[i].nameView(), "");
  }
  EXPECT_EQ(e[1].name[1], 'A');
  EXPECT_EQ(e[2].name[1], 'B');
}

TEST_F(ActiveCategoryListTest, CommitTwiceLeavesOneLiveRecord) {
  BlockId list = copy();
  append(list, "Wall", 3);
  ASSERT_EQ(commitCategoryList(list), 0);
  append(list, "Kerb", 4);
  ASSERT_EQ(commitCategoryList(list), 0);
  EXPECT_EQ(liveListRecords(), 1);
  CategoryListView current = currentCategoryList();
  ASSERT_EQ(current.count, 5u);
  EXPECT_EQ(current[0].subtree, 4u);
  EXPECT_EQ(current[4].nameView(), "Kerb");
  int pos = rs.newest(7);
  EXPECT_EQ(rs.type(pos), 7);
  EXPECT_EQ(rs.dataLength(pos), 5u * 88u);
  EXPECT_EQ(RecordStore::computeChecksum(rs.data(pos), 5 * 88), rs.checksum(pos));
  EXPECT_TRUE(activeCategoryListContains(4));
  EXPECT_FALSE(activeCategoryListContains(5));
  EXPECT_FALSE(activeCategoryListContains(0));
}

TEST_F(ActiveCategoryListTest, CopyOfCurrentListClearsByteOneOfRootName) {
  BlockId list = copy();
  entries(list)[0].setName("root");
  append(list, "Wall", 3);
  ASSERT_EQ(commitCategoryList(list), 0);
  BlockId again = copy();
  ASSERT_EQ(blockStore().count(again), 4u);
  EXPECT_EQ(std::memcmp(entries(again)[0].name, "r\0ot", 5), 0);
  EXPECT_EQ(std::memcmp(&entries(again)[1], &entries(list)[1], 3 * 88), 0);
}

TEST_F(ActiveCategoryListTest, DamagedListIsDroppedByScan) {
  BlockId list = copy();
  append(list, "Old", 3);
  ASSERT_EQ(commitCategoryList(list), 0);
  rs.data(rs.newest(7))[100] ^= 0x20;
  rs.scan();
  EXPECT_TRUE(currentCategoryList().empty());
  EXPECT_FALSE(activeCategoryListContains(3));
  EXPECT_EQ(blockStore().count(copy()), 3u);
}

TEST_F(ActiveCategoryListTest, FailedCommitKeepsListInForce) {
  BlockId list = copy();
  append(list, "Kept", 3);
  ASSERT_EQ(commitCategoryList(list), 0);
  // 1025 entries below the root are one too many.
  BlockId big = copy();
  ASSERT_EQ(blockStore().insert(big, ElementType::CategoryEntry, 4, 1022), 0);
  entries(big)[0].subtree = 1025;
  EXPECT_EQ(blockStore().count(big), 1026u);
  EXPECT_EQ(commitCategoryList(big), +ErrorCode::CategoryListTooLarge);
  EXPECT_EQ(commitCategoryList(0), +ErrorCode::InvalidBlockId);
  // A region without room for the new record.
  for (uint32_t size : {100000u, 10000u, 1000u, 100u, 16u})
    while (rs.allocate(9, size) >= 0) {
    }
  EXPECT_EQ(commitCategoryList(list), +ErrorCode::RecordStoreFull);
  ASSERT_EQ(currentCategoryList().count, 4u);
  EXPECT_EQ(currentCategoryList()[3].nameView(), "Kept");
  // 1024 entries below the root are allowed.
  resetRecordStore();
  blockStore().remove(big, ElementType::CategoryEntry, 4, 1);
  entries(big)[0].subtree = 1024;
  EXPECT_EQ(commitCategoryList(big), 0);
}

}  // namespace
}  // namespace vltrx
