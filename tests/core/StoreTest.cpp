// Measurement store: block ids, typed arrays, texts, the tree, layouts,
// category sets, point numbers and the packed value types.
#include "core/BlockStore.h"
#include "core/CError.h"
#include "core/Layout.h"
#include "core/MeasurementTree.h"
#include "core/MeasurementTypes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

namespace vltrx {
namespace {

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override { resetMeasurementStore(); }
  void TearDown() override { resetMeasurementStore(); }

  BlockStore& store = blockStore();

  // A layout linked below the root.
  BlockId makeLayout(std::string_view name) {
    BlockId root = rootFolder();
    int pos = findChildPosition(root, name, false);
    EXPECT_GE(pos, 0);
    BlockId id = createNode(name, false);
    EXPECT_EQ(linkChild(root, pos, id), 0);
    return id;
  }

  // Points with the given numbers, one polygon each.
  void addNumberedPoints(BlockId layout, const std::vector<uint32_t>& numbers) {
    for (uint32_t n : numbers) {
      MPoint p = blankPoint();
      p.number = n;
      ASSERT_EQ(addPoint(layout, pointCount(layout), p), 0);
      ASSERT_EQ(addPolygon(layout, polygonCount(layout), 1), 0);
    }
  }

  std::vector<std::string> childNames(BlockId parent) {
    std::vector<std::string> names;
    for (uint32_t i = 0; BlockId c = childAt(parent, i); ++i) names.emplace_back(nodeName(c));
    return names;
  }
};

// --- block ids ------------------------------------------------------------------

TEST_F(StoreTest, IdsStartAt257AndReleasedIdsAreReusedLastFirst) {
  BlockId a = store.allocate(8), b = store.allocate(8), c = store.allocate(8);
  EXPECT_EQ(a, 257u);
  EXPECT_EQ(b, 258u);
  EXPECT_EQ(c, 259u);
  ASSERT_EQ(store.free(a), 0);
  ASSERT_EQ(store.free(c), 0);
  EXPECT_EQ(store.allocate(4), c);
  EXPECT_EQ(store.allocate(4), a);
  EXPECT_EQ(store.allocate(4), 260u);
  EXPECT_EQ(store.blockCount(), 4u);
}

TEST_F(StoreTest, BlocksAreZeroFilledAndGrowWithZeroTail) {
  BlockId id = store.allocate(16);
  uint8_t* p = store.pointer(id);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(p[i], 0);
  std::memset(p, 0xAB, 16);
  ASSERT_EQ(store.resize(id, 64), 0);
  p = store.pointer(id);
  EXPECT_EQ(store.size(id), 64u);
  EXPECT_EQ(p[15], 0xAB);
  for (int i = 16; i < 64; ++i) EXPECT_EQ(p[i], 0) << i;
}

// Index of the first byte in [from, to) that is not value, or to.
size_t firstOther(const uint8_t* p, size_t from, size_t to, uint8_t value) {
  for (size_t i = from; i < to; ++i)
    if (p[i] != value) return i;
  return to;
}

TEST_F(StoreTest, LargeBlocksKeepContentsAndZeroTailsAcrossResizes) {
  // Blocks of 2 MiB and more are kept apart from small ones: resizes within,
  // into and out of that range keep the common part and give a zero tail,
  // also after a shrink left bytes behind.
  constexpr uint32_t MiB = 1u << 20;
  const uint32_t sizes[] = {100,         3 * MiB, 3 * MiB + 5, 5 * MiB, 4 * MiB + 1, 2 * MiB,
                            2 * MiB - 1, 6 * MiB, 6 * MiB + 7, 10,      9 * MiB};
  BlockId id = store.allocate(sizes[0]);
  ASSERT_NE(id, 0u);
  for (size_t step = 1; step < std::size(sizes); ++step) {
    SCOPED_TRACE(sizes[step]);
    const uint32_t before = store.size(id);
    const uint8_t pattern = static_cast<uint8_t>(0xA0 + step);
    std::memset(store.pointer(id), pattern, before);
    ASSERT_EQ(store.resize(id, sizes[step]), 0);
    const uint8_t* p = store.pointer(id);
    const size_t kept = std::min(before, sizes[step]);
    EXPECT_EQ(firstOther(p, 0, kept, pattern), kept);
    EXPECT_EQ(firstOther(p, kept, sizes[step], 0), sizes[step]);
  }
  BlockId fresh = store.allocate(4 * MiB + 3);
  EXPECT_EQ(firstOther(store.pointer(fresh), 0, 4 * MiB + 3, 0), 4 * MiB + 3);
  EXPECT_EQ(store.free(fresh), 0);
  EXPECT_EQ(store.free(id), 0);
}

TEST_F(StoreTest, LargeArrayInsertZeroesEveryNewElement) {
  // Elements removed at the end leave their bytes in the spare capacity; an
  // insert that grows the block must still hand out zero elements there, at
  // the end and in the middle.
  BlockId id = 0;
  ASSERT_EQ(store.insert(id, ElementType::Point, 0, 40000), 0);
  std::memset(store.elements(id), 0xCD, store.size(id) - kArrayHeader);
  ASSERT_EQ(store.remove(id, ElementType::Point, 39000, 1000), 0);
  ASSERT_EQ(store.capacity(id, ElementType::Point), 40000u);
  ASSERT_EQ(store.insert(id, ElementType::Point, 39000, 2000), 0);
  ASSERT_GT(store.capacity(id, ElementType::Point), 40000u);
  const size_t size = elementInfo(ElementType::Point).size;
  uint8_t* e = store.elements(id);
  EXPECT_EQ(firstOther(e, 0, 39000 * size, 0xCD), 39000 * size);
  EXPECT_EQ(firstOther(e, 39000 * size, 41000 * size, 0), 41000 * size);
  // In the middle, growing the block and within its capacity.
  std::memset(e + 39000 * size, 0xCD, 2000 * size);
  ASSERT_EQ(store.insert(id, ElementType::Point, 5, 10000), 0);
  ASSERT_EQ(store.insert(id, ElementType::Point, 20000, 3), 0);
  ASSERT_EQ(store.count(id), 51003u);
  e = store.elements(id);
  EXPECT_EQ(firstOther(e, 0, 5 * size, 0xCD), 5 * size);
  EXPECT_EQ(firstOther(e, 5 * size, 10005 * size, 0), 10005 * size);
  EXPECT_EQ(firstOther(e, 10005 * size, 20000 * size, 0xCD), 20000 * size);
  EXPECT_EQ(firstOther(e, 20000 * size, 20003 * size, 0), 20003 * size);
  EXPECT_EQ(firstOther(e, 20003 * size, 51003 * size, 0xCD), 51003 * size);
}

TEST_F(StoreTest, UnknownIdsNameNoBlock) {
  BlockId id = store.allocate(4);
  store.free(id);
  for (BlockId bad : {BlockId(0), BlockId(1), BlockId(256), id, BlockId(100000)}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(store.pointer(bad), nullptr);
    EXPECT_EQ(store.size(bad), 0u);
    EXPECT_EQ(store.free(bad), +ErrorCode::InvalidBlockId);
    EXPECT_EQ(store.resize(bad, 8), +ErrorCode::InvalidBlockId);
    EXPECT_EQ(store.text(bad), "");
  }
}

TEST_F(StoreTest, SmallIdsAreKeptForSixteenBitFields) {
  // Plain blocks take the small ids below the reserved range, then jump past it.
  std::vector<BlockId> plain;
  BlockId id;
  while ((id = store.allocate(1)) < BlockStore::kFirstReservedId) plain.push_back(id);
  ASSERT_EQ(plain.size(), BlockStore::kFirstReservedId - 257u);
  EXPECT_EQ(id, BlockStore::kMaxSmallId + 1);

  // A list of two categories still finds an id that fits its 16-bit field.
  MPoint p = blankPoint();
  const uint16_t two[] = {3, 5};
  ASSERT_EQ(setCategories(p, two), 0);
  EXPECT_EQ(p.categories, BlockStore::kFirstReservedId);
  EXPECT_EQ(p.categoriesIsList, 1);

  // With the reserved ids used up too, a new list cannot be stored.
  std::vector<BlockId> reserved;
  while ((id = store.allocateSmall(4)) != 0) reserved.push_back(id);
  ASSERT_EQ(reserved.size(), BlockStore::kMaxSmallId - BlockStore::kFirstReservedId);
  MPoint q = blankPoint();
  const uint16_t three[] = {3, 5, 7};
  EXPECT_EQ(setCategories(q, three), +ErrorCode::StorageExceeded);
  EXPECT_EQ(q.categories, 0);
  EXPECT_EQ(q.categoriesIsList, 0);

  // Released small ids go to small allocations even when a large id was
  // released later; plain allocations still take the most recent one, but
  // never a released reserved id.
  BlockId large = store.allocate(1);
  store.free(plain[100]);
  store.free(large);
  EXPECT_EQ(store.allocateSmall(4), plain[100]);
  EXPECT_EQ(store.allocate(1), large);
  store.free(reserved[5]);
  EXPECT_GT(store.allocate(1), BlockStore::kMaxSmallId);
  ASSERT_EQ(setCategories(q, three), 0);
  EXPECT_EQ(q.categories, reserved[5]);
  EXPECT_EQ(q.categoriesIsList, 1);
}

// --- typed arrays ------------------------------------------------------------------

TEST_F(StoreTest, TypedArrayGrowthAndRemoval) {
  struct Step {
    const char* what;
    bool insert;
    uint32_t position, n;
    uint32_t count, capacity;  // expected afterwards
  };
  // MPoint: growth step 4; the first insert creates exactly n elements.
  const Step steps[] = {
      {"create with 2", true, 0, 2, 2, 2},
      {"grow to count + 4", true, 2, 1, 3, 7},
      {"fits", true, 0, 4, 7, 7},
      {"grow again", true, 7, 1, 8, 12},
      {"slack 5 > 4: exact", false, 0, 1, 7, 7},
      {"slack 2: stays", false, 5, 2, 5, 7},
      {"n clipped to count, slack 4 stays", false, 3, 100, 3, 7},
  };
  BlockId id = 0;
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    int rc = s.insert ? store.insert(id, ElementType::Point, s.position, s.n)
                      : store.remove(id, ElementType::Point, s.position, s.n);
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(store.count(id), s.count);
    EXPECT_EQ(store.capacity(id, ElementType::Point), s.capacity);
    EXPECT_EQ(store.size(id), 4 + sizeof(MPoint) * s.capacity);
  }
  EXPECT_EQ(store.insert(id, ElementType::Point, 4, 1), +ErrorCode::InvalidBlockId);
  ASSERT_EQ(store.remove(id, ElementType::Point, 0, 3), 0);
  EXPECT_EQ(id, 0u);
  EXPECT_EQ(store.blockCount(), 0u);
}

TEST_F(StoreTest, TypedArrayInsertMovesTailAndZeroesNewElements) {
  BlockId id = 0;
  ASSERT_EQ(store.insert(id, ElementType::Polygon, 0, 3), 0);
  auto* pg = reinterpret_cast<MPolygon*>(store.elements(id));
  for (int i = 0; i < 3; ++i) pg[i].pointCount = int16_t(i + 1);
  ASSERT_EQ(store.insert(id, ElementType::Polygon, 1, 2), 0);
  pg = reinterpret_cast<MPolygon*>(store.elements(id));
  const int16_t expected[] = {1, 0, 0, 2, 3};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(pg[i].pointCount, expected[i]) << i;
  ASSERT_EQ(store.remove(id, ElementType::Polygon, 0, 2), 0);
  pg = reinterpret_cast<MPolygon*>(store.elements(id));
  EXPECT_EQ(pg[0].pointCount, 0);
  EXPECT_EQ(pg[1].pointCount, 2);
  // Growth step 0 types grow and shrink to the exact count.
  BlockId ids = 0;
  ASSERT_EQ(store.insert(ids, ElementType::CategoryId, 0, 1), 0);
  ASSERT_EQ(store.insert(ids, ElementType::CategoryId, 1, 1), 0);
  EXPECT_EQ(store.size(ids), 4u + 2 * 2);
}

TEST_F(StoreTest, LargeArraysGrowInProportion) {
  // Appending one at a time stays linear: far fewer resizes than n / 4.
  BlockId id = 0;
  uint32_t resizes = 0, lastSize = 0;
  for (uint32_t i = 0; i < 20000; ++i) {
    ASSERT_EQ(store.insert(id, ElementType::Point, i, 1), 0);
    if (store.size(id) != lastSize) ++resizes, lastSize = store.size(id);
  }
  EXPECT_LT(resizes, 200u);
}

TEST_F(StoreTest, TextsAreBlocksAndEmptyTextFreesThem) {
  BlockId field = 0;
  ASSERT_EQ(store.setText(field, "Mauer Nord"), 0);
  EXPECT_NE(field, 0u);
  EXPECT_EQ(store.text(field), "Mauer Nord");
  EXPECT_EQ(store.size(field), 11u);  // zero-terminated
  BlockId old = field;
  ASSERT_EQ(store.setText(field, "B"), 0);
  EXPECT_EQ(field, old);  // the released id comes straight back
  ASSERT_EQ(store.setText(field, ""), 0);
  EXPECT_EQ(field, 0u);
  EXPECT_EQ(store.blockCount(), 0u);
}

// --- tree ------------------------------------------------------------------------

TEST_F(StoreTest, NamesAreCutTo29BytesAndCompareCaseInsensitively) {
  std::string forty(40, 'n');
  BlockId a = createNode(forty, false);
  EXPECT_EQ(nodeName(a), std::string(29, 'n'));
  // A multi-byte character is not cut in half: 28 bytes then a 2-byte "ä".
  BlockId b = createNode(std::string(28, 'x') + "\xC3\xA4", true);
  EXPECT_EQ(nodeName(b), std::string(28, 'x'));

  BlockId plan = makeLayout("Plan");
  EXPECT_EQ(findChildPosition(rootFolder(), "PLAN", false), ~0);
  EXPECT_EQ(childAt(rootFolder(), ~findChildPosition(rootFolder(), "pLaN", false)), plan);
  // A folder of the same name is another kind and does not collide.
  EXPECT_GE(findChildPosition(rootFolder(), "PLAN", true), 0);
  // Only the first 28 bytes count.
  EXPECT_EQ(compareNodeNames(std::string(28, 'a') + "X", std::string(28, 'A') + "y"), 0);
  EXPECT_LT(compareNodeNames("Plan", "Plan2"), 0);
}

TEST_F(StoreTest, ChildrenListFoldersFirstThenLayoutsByName) {
  BlockId root = rootFolder();
  const std::pair<const char*, bool> children[] = {{"z", false}, {"b", true}, {"c", false}, {"A", true}};
  for (auto [name, folder] : children) {
    int pos = findChildPosition(root, name, folder);
    ASSERT_GE(pos, 0) << name;
    ASSERT_EQ(linkChild(root, pos, createNode(name, folder)), 0);
  }
  EXPECT_EQ(childNames(root), (std::vector<std::string>{"A", "b", "c", "z"}));
  const SubFolder* f = subFolder(root);
  EXPECT_EQ(f->childCount, 4);
  EXPECT_EQ(f->lastInsert, 0u);  // "A" went to the head
  EXPECT_EQ(findChildPosition(root, "a", false), 2);  // a layout "a" sorts before "c"
  EXPECT_EQ(findChildPosition(root, "c", true), 2);   // a folder "c" after "b"

  BlockId b = childAt(root, 1);
  ASSERT_EQ(unlinkChild(root, 1), 0);
  EXPECT_EQ(childNames(root), (std::vector<std::string>{"A", "c", "z"}));
  EXPECT_EQ(nodeHeader(b)->parent, 0u);
  EXPECT_EQ(unlinkChild(root, 3), +ErrorCode::InvalidBlockId);
}

TEST_F(StoreTest, SubfolderAtDepthNineHoldsLayoutsButNoFolders) {
  BlockId parent = rootFolder();
  for (int level = 1; level <= 9; ++level) {
    BlockId f = createNode("f" + std::to_string(level), true);
    ASSERT_EQ(linkChild(parent, 0, f), 0) << level;
    EXPECT_EQ(depth(f), level);
    parent = f;
  }
  BlockId tooDeep = createNode("f10", true);
  EXPECT_EQ(linkChild(parent, 0, tooDeep), +ErrorCode::TooManyFolderLevels);
  EXPECT_EQ(linkChild(parent, 0, createNode("plan", false)), 0);
  EXPECT_EQ(depth(childAt(parent, 0)), 10);
  // A node cannot be linked twice or below itself.
  EXPECT_EQ(linkChild(rootFolder(), 0, parent), +ErrorCode::InvalidBlockId);
  EXPECT_EQ(linkChild(tooDeep, 0, rootFolder()), +ErrorCode::InvalidBlockId);
}

TEST_F(StoreTest, DeleteNodeFreesEverythingBelowIt) {
  BlockId root = rootFolder();
  const size_t baseline = store.blockCount();
  BlockId folder = createNode("folder", true);
  ASSERT_EQ(linkChild(root, 0, folder), 0);
  ASSERT_EQ(setNodeComment(folder, "comment"), 0);
  BlockId layout = createNode("plan", false);
  ASSERT_EQ(linkChild(folder, 0, layout), 0);
  addNumberedPoints(layout, {1, 2, 3});
  MPoint* p = pointAt(layout, 1);
  ASSERT_EQ(setText(*p, PointText::Comment, "c"), 0);
  ASSERT_EQ(setText(*p, PointText::Name, "A17"), 0);
  ASSERT_EQ(setPointValue(*p, 1.5f), 0);
  const uint16_t cats[] = {3, 4, 5};
  ASSERT_EQ(setCategories(*p, cats), 0);
  ASSERT_EQ(setText(*polygonAt(layout, 0), "pc"), 0);
  ASSERT_EQ(setCategories(*polygonAt(layout, 0), cats), 0);
  EXPECT_GT(store.blockCount(), baseline + 8);

  ASSERT_EQ(deleteNode(folder), 0);
  EXPECT_EQ(store.blockCount(), baseline);
  EXPECT_EQ(subFolder(root)->childCount, 0);
  EXPECT_EQ(childAt(root, 0), 0u);
  EXPECT_EQ(deleteNode(folder), +ErrorCode::InvalidBlockId);

  // Deleting the root empties the tree; a new root is made on demand.
  ASSERT_EQ(deleteNode(root), 0);
  EXPECT_EQ(store.blockCount(), 0u);
  EXPECT_NE(rootFolder(), 0u);
}

TEST_F(StoreTest, VisitWalksDepthFirstWithPhases) {
  BlockId root = rootFolder();
  BlockId f1 = createNode("f1", true), f2 = createNode("f2", true);
  ASSERT_EQ(linkChild(root, 0, f1), 0);
  ASSERT_EQ(linkChild(root, 1, f2), 0);
  ASSERT_EQ(linkChild(f1, 0, createNode("p1", false)), 0);
  ASSERT_EQ(linkChild(f2, 0, createNode("p2", false)), 0);
  ASSERT_EQ(linkChild(root, 2, createNode("p3", false)), 0);

  std::string trace;
  auto record = [&](int skipAt) {
    trace.clear();
    return visit(root, [&, skipAt](BlockId node, int phase) {
      std::string name = node == root ? "root" : std::string(nodeName(node));
      trace += name + ":" + std::to_string(phase) + " ";
      if (phase == 1 && name == "f1") return skipAt;
      if (phase == 0 && name == "p2") return skipAt == -5 ? -5 : 1;
      return 1;
    });
  };
  EXPECT_EQ(record(1), 0);
  EXPECT_EQ(trace, "root:1 f1:1 p1:0 f1:2 f2:1 p2:0 f2:2 p3:0 root:2 ");
  EXPECT_EQ(record(0), 0);  // 0 skips f1's children and its phase 2
  EXPECT_EQ(trace, "root:1 f1:1 f2:1 p2:0 f2:2 p3:0 root:2 ");
  EXPECT_EQ(record(-5), -5);  // an error ends the walk
  EXPECT_EQ(trace, "root:1 f1:1 ");
}

// --- layouts -------------------------------------------------------------------

TEST_F(StoreTest, CheckPointNumbers) {
  struct Case {
    const char* what;
    std::vector<uint32_t> numbers;
    int result;
    std::vector<uint32_t> after;  // numbers after the check (empty: unchanged)
    uint32_t highest;
  };
  const Case cases[] = {
      {"all 0 numbered 1..n", {0, 0, 0, 0}, 0, {1, 2, 3, 4}, 4},
      {"ascending", {5, 9, 200}, 0, {}, 200},
      {"unordered but unique", {7, 3, 9, 1, 8}, 0, {}, 9},
      {"one 0 among numbered", {1, 2, 0, 4}, +ErrorCode::InvalidPointNumbers, {}, 0},
      {"a number after leading 0", {0, 0, 3}, +ErrorCode::InvalidPointNumbers, {0, 0, 3}, 0},
      {"duplicate after a drop", {1, 5, 3, 5}, +ErrorCode::InvalidPointNumbers, {}, 0},
      {"duplicate of a lower number", {4, 2, 7, 2}, +ErrorCode::InvalidPointNumbers, {}, 0},
      {"equal neighbours", {3, 3}, +ErrorCode::InvalidPointNumbers, {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    resetMeasurementStore();
    BlockId layout = makeLayout("plan");
    addNumberedPoints(layout, c.numbers);
    EXPECT_EQ(checkPointNumbers(layout), c.result);
    const std::vector<uint32_t>& expected = c.after.empty() ? c.numbers : c.after;
    for (uint32_t i = 0; i < expected.size(); ++i) EXPECT_EQ(pointAt(layout, i)->number, expected[i]) << i;
    EXPECT_EQ(mFolder(layout)->highestPointNumber, c.highest);
  }
  resetMeasurementStore();
  EXPECT_EQ(checkPointNumbers(makeLayout("empty")), 0);
}

TEST_F(StoreTest, DuplicateNumbersInDifferentLayoutsAreAllowed) {
  BlockId a = makeLayout("a"), b = makeLayout("b");
  addNumberedPoints(a, {1, 2, 3});
  addNumberedPoints(b, {3, 2, 1});
  EXPECT_EQ(checkPointNumbers(a), 0);
  EXPECT_EQ(checkPointNumbers(b), 0);
}

TEST_F(StoreTest, RemovePointsFreesTheirBlocks) {
  BlockId layout = makeLayout("plan");
  const size_t baseline = store.blockCount();
  addNumberedPoints(layout, {1, 2, 3, 4});
  for (uint32_t i = 0; i < 4; ++i) {
    MPoint& p = *pointAt(layout, i);
    ASSERT_EQ(setText(p, PointText::Comment, "c" + std::to_string(i)), 0);
    const uint16_t cats[] = {1, uint16_t(2 + i)};
    ASSERT_EQ(setCategories(p, cats), 0);
  }
  ASSERT_EQ(removePoints(layout, 1, 2), 0);
  EXPECT_EQ(pointCount(layout), 2u);
  EXPECT_EQ(pointAt(layout, 1)->number, 4u);
  EXPECT_EQ(pointComment(*pointAt(layout, 1)), "c3");
  ASSERT_EQ(removePoints(layout, 0, 10), 0);
  ASSERT_EQ(removePolygons(layout, 0, 10), 0);
  EXPECT_EQ(mFolder(layout)->points, 0u);
  EXPECT_EQ(mFolder(layout)->polygons, 0u);
  EXPECT_EQ(store.blockCount(), baseline);
}

TEST_F(StoreTest, BoundingBoxAddsOffsets) {
  BlockId layout = makeLayout("plan");
  MFolder* m = mFolder(layout);
  m->xOffset = 1000;
  m->yOffset = 2000;
  BoundingBox empty = boundingBox(layout);
  EXPECT_EQ(empty.minX, 1000);
  EXPECT_EQ(empty.maxX, 1001);
  EXPECT_EQ(empty.minY, 2000);
  EXPECT_EQ(empty.maxZ, 1);
  MPoint p = blankPoint();
  p.x = 5, p.y = -3, p.z = 7;
  addPoint(layout, 0, p);
  p.x = -1, p.y = 4, p.z = 2;
  addPoint(layout, 1, p);
  BoundingBox box = boundingBox(layout);
  EXPECT_EQ(box.minX, 999);
  EXPECT_EQ(box.maxX, 1005);
  EXPECT_EQ(box.minY, 1997);
  EXPECT_EQ(box.maxY, 2004);
  EXPECT_EQ(box.minZ, 2);
  EXPECT_EQ(box.maxZ, 7);
}

// --- category sets ---------------------------------------------------------------

TEST_F(StoreTest, CategorySetEncoding) {
  MPoint p = blankPoint();
  const uint16_t one[] = {42};
  ASSERT_EQ(setCategories(p, one), 0);
  EXPECT_EQ(p.categories, 42);
  EXPECT_EQ(p.categoriesIsList, 0);
  EXPECT_EQ(store.blockCount(), 0u);

  const uint16_t three[] = {7, 3, 5, 5};  // tidied to {3, 5, 7}
  ASSERT_EQ(setCategories(p, three), 0);
  EXPECT_EQ(p.categoriesIsList, 1);
  EXPECT_EQ(categoryIds(p).toSet(), (CategorySet{3, 5, 7}));
  const BlockId list = p.categories;

  const uint16_t sameSize[] = {1, 2, 3};
  ASSERT_EQ(setCategories(p, sameSize), 0);
  EXPECT_EQ(p.categories, list);  // copied in place
  EXPECT_EQ(categoryIds(p).toSet(), (CategorySet{1, 2, 3}));

  ASSERT_EQ(setCategories(p, one), 0);
  EXPECT_EQ(store.blockCount(), 0u);  // the list block is gone
  ASSERT_EQ(setCategories(p, {}), 0);
  EXPECT_EQ(p.categories, 0);
  EXPECT_EQ(p.categoriesIsList, 0);
  EXPECT_TRUE(categoryIds(p).empty());
}

TEST_F(StoreTest, CategorySetFromText) {
  auto active = [](uint16_t id) { return id == 3 || id == 5 || id == 10150 || id == 77; };
  std::vector<uint16_t> map(1025, 0);
  map[1] = 77;  // document id 1 is store id 77
  map[2] = 3;
  struct Case {
    const char* text;
    bool useMap;
    CategorySet expected;
  };
  const Case cases[] = {
      {"5 5 3", false, {3, 5}},
      {"5\t3  4 9", false, {3, 5}},  // 4 and 9 are not in the list
      {"0 10150", false, {10150}},
      {"1 2 10150", true, {3, 77, 10150}},
      {"1 2", false, {}},
      {"x 3 -5 70000 5", false, {3, 5}},
      {"", false, {}},
  };
  CategorySet reused{999};  // the filling form starts from an empty set
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::span<const uint16_t> sourceMap = c.useMap ? std::span<const uint16_t>(map) : std::span<const uint16_t>();
    EXPECT_EQ(categorySetFromText(c.text, active, sourceMap), c.expected);
    categorySetFromText(c.text, active, sourceMap, reused);
    EXPECT_EQ(reused, c.expected);
  }
  // At most 1024 ids.
  std::string many;
  for (int i = 1; i <= 1100; ++i) many += std::to_string(i) + " ";
  EXPECT_EQ(categorySetFromText(many, [](uint16_t) { return true; }).size(), 1024u);
}

TEST_F(StoreTest, PointValueFromText) {
  MPoint p = blankPoint();
  ASSERT_EQ(setPointValueFromText(p, "  12.5 m"), 0);
  ASSERT_TRUE(pointValue(p).has_value());
  EXPECT_FLOAT_EQ(*pointValue(p), 12.5f);
  EXPECT_EQ(store.count(pointExtra(p).value), 1u);
  EXPECT_EQ(store.size(pointExtra(p).value), 10u);
  ASSERT_EQ(setPointValueFromText(p, " \t "), 0);
  EXPECT_FALSE(pointValue(p).has_value());
  EXPECT_EQ(store.blockCount(), 0u);
  // The point holds nothing out of line any more: no extra either.
  EXPECT_EQ(p.extra, 0u);
  EXPECT_EQ(store.extraCount(), 0u);
  ASSERT_EQ(setPointValueFromText(p, "abc"), 0);
  EXPECT_EQ(pointValue(p), 0.0f);
}

// --- value types -----------------------------------------------------------------

TEST(PolarObservationTest, RoundTripOfAllFields) {
  PolarValues v{1234.5678, -1.23456, 0.0321, 0.01234, -0.0123};
  PolarObservation o = encodePolar(v);
  EXPECT_FALSE(o.empty());
  PolarValues back = decodePolar(o);
  EXPECT_NEAR(back.r, 1234.5678, 1e-9);
  EXPECT_NEAR(back.phi, -1.23456, 1e-12);
  EXPECT_NEAR(back.devR, 0.0321, 1e-12);
  EXPECT_NEAR(back.devPhi, 0.01234, 1e-12);
  EXPECT_NEAR(back.h, -0.0123, 1e-12);
  // Each field keeps its own bits: the largest values of each width.
  PolarValues top{13421.7727, 3.14159, 13.1071, 0.16, 0.05};
  back = decodePolar(encodePolar(top));
  EXPECT_NEAR(back.r, 13421.7727, 1e-9);
  EXPECT_NEAR(back.phi, 3.14159, 1e-12);
  EXPECT_NEAR(back.devR, 13.1071, 1e-12);
  EXPECT_NEAR(back.devPhi, 0.16, 1e-12);
  EXPECT_NEAR(back.h, 0.05, 1e-12);
  EXPECT_TRUE(PolarObservation{}.empty());
  EXPECT_TRUE(encodePolar({}).empty());
}

TEST(PolarObservationTest, ClampsAndWrapsOnEncoding) {
  constexpr double pi = std::numbers::pi;
  struct Case {
    const char* what;
    PolarValues in;
    PolarValues expected;
  };
  const Case cases[] = {
      {"h 0.2 clamps to 0.05", {10, 0, 0, 0, 0.2}, {10, 0, 0, 0, 0.05}},
      {"h -1 clamps to -0.05", {10, 0, 0, 0, -1}, {10, 0, 0, 0, -0.05}},
      {"phi 4 wraps to 4 - 2 pi", {10, 4, 0, 0, 0}, {10, std::round((4 - 2 * pi) * 1e5) / 1e5, 0, 0, 0}},
      {"phi -4 wraps to 2 pi - 4", {10, -4, 0, 0, 0}, {10, std::round((2 * pi - 4) * 1e5) / 1e5, 0, 0, 0}},
      {"phi 100 rad", {10, 100, 0, 0, 0}, {10, std::round(std::remainder(100, 2 * pi) * 1e5) / 1e5, 0, 0, 0}},
      {"dev_phi clamps to 0.16", {10, 0, 0, 1, 0}, {10, 0, 0, 0.16, 0}},
      {"negative dev_phi clamps to 0", {10, 0, 0, -1, 0}, {10, 0, 0, 0, 0}},
      {"rounded, not cut", {1.2345, 0.000016, 0, 0, 0}, {1.2345, 0.00002, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PolarValues back = decodePolar(encodePolar(c.in));
    EXPECT_NEAR(back.r, c.expected.r, 1e-9);
    EXPECT_NEAR(back.phi, c.expected.phi, 1e-9);
    EXPECT_NEAR(back.devPhi, c.expected.devPhi, 1e-9);
    EXPECT_NEAR(back.h, c.expected.h, 1e-9);
  }
}

TEST(PackedDateTimeTest, ValidityAndPacking) {
  struct Case {
    uint32_t date, time;
    bool valid;
  };
  const Case cases[] = {
      {240229, 235959, true},   // leap year
      {230229, 120000, false},  // 29 February outside a leap year
      {240230, 0, false},       {240431, 0, false}, {240430, 0, true},  {241131, 0, false},
      {240131, 0, true},        {241301, 0, false}, {240001, 0, false}, {240100, 0, false},
      {991231, 0, true},        {1000101, 0, false}, {240101, 240000, false}, {240101, 6000, false},
      {240101, 60, false},      {1, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.date) + " " + std::to_string(c.time));
    auto packed = packDateTime(c.date, c.time);
    ASSERT_EQ(packed.has_value(), c.valid);
    if (c.valid) {
      EXPECT_EQ(dateNumber(*packed), c.date);
      EXPECT_EQ(timeNumber(*packed), c.time);
    }
  }
  DateTimeParts parts{24, 2, 29, 23, 59, 58};
  uint32_t v = packDateTime(parts);
  EXPECT_EQ(v, ((((24u * 13 + 2) * 32 + 29) * 24 + 23) * 60 + 59) * 60 + 58);
  EXPECT_EQ(unpackDateTime(v), parts);
  EXPECT_EQ(unpackDateTime(packDateTime({99, 12, 31, 23, 59, 59})), (DateTimeParts{99, 12, 31, 23, 59, 59}));
}

TEST(PreferredSystemTest, FromAndToText) {
  EXPECT_EQ(preferredSystemFromText("YXZ"), PreferredSystem::Yxz);
  EXPECT_EQ(preferredSystemFromText("NEZ"), PreferredSystem::Nez);
  EXPECT_EQ(preferredSystemFromText("NEZ XYZ"), PreferredSystem::Xyz);  // XYZ is searched first
  EXPECT_EQ(preferredSystemFromText("nez"), PreferredSystem::Xyz);
  EXPECT_STREQ(preferredSystemText(PreferredSystem::Nez), "NEZ");
  EXPECT_STREQ(preferredSystemText(static_cast<PreferredSystem>(7)), "XYZ");
  setPreferredSystem(PreferredSystem::Yxz);
  resetMeasurementStore();
  EXPECT_EQ(preferredSystem(), PreferredSystem::Xyz);
}

}  // namespace
}  // namespace vltrx
