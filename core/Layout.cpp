// Polygon and point records of a layout, their texts, category sets and
// values, the bounding box and the point-number check.
#include "core/Layout.h"

#include "core/CError.h"
#include "core/CategoryLists.h"
#include "core/Numbers.h"

#include <cmath>
#include <algorithm>
#include <charconv>
#include <cstring>
#include <unordered_set>

namespace vltrx {
namespace {

BlockStore& store() { return blockStore(); }

// The array field of a layout, or nullptr for an unknown layout.
MFolder* layoutOf(BlockId layout) { return mFolder(layout); }

// Replaces a text field of a packed record (which cannot bind to BlockId&).
template <typename Record, typename Field>
int replaceText(Record& record, Field Record::*field, std::string_view text) {
  BlockId id = record.*field;
  int rc = store().setText(id, text);
  record.*field = id;
  return rc;
}

// List blocks are shared by every record with the same set: dropping one
// gives up this record's reference (see CategoryLists.h).
void releaseList(uint16_t& field, uint8_t& isList) {
  if (isList && field) {
    BlockId list = field;
    releaseCategoryList(list);
  }
  field = 0;
  isList = 0;
}

CategoryIds idsOf(uint16_t field, uint8_t isList) {
  if (!isList) return CategoryIds(field);
  uint32_t n = store().count(field);
  const uint8_t* data = store().elements(field);
  if (!data || store().size(field) < kArrayHeader + 2ull * n) return CategoryIds();
  // A list block starts on a malloc boundary; its u16 ids, 4 bytes in, are aligned.
  return CategoryIds(reinterpret_cast<const uint16_t*>(data), n);
}

// Stores a sorted, distinct set into the (field, flag) pair of a record.
int storeSet(uint16_t& field, uint8_t& isList, std::span<const uint16_t> input) {
  // Sort and drop duplicates and 0 unless the set is already clean.
  CategorySet tidy;
  std::span<const uint16_t> set = input;
  bool clean = input.size() <= kMaxCategories;
  for (size_t i = 0; clean && i < input.size(); ++i)
    if (input[i] == 0 || (i > 0 && input[i] <= input[i - 1])) clean = false;
  if (!clean) {
    tidy.assign(input.begin(), input.end());
    std::sort(tidy.begin(), tidy.end());
    tidy.erase(std::unique(tidy.begin(), tidy.end()), tidy.end());
    tidy.erase(std::remove(tidy.begin(), tidy.end(), uint16_t(0)), tidy.end());
    if (tidy.size() > kMaxCategories) tidy.resize(kMaxCategories);
    set = tidy;
  }
  if (set.size() <= 1) {
    releaseList(field, isList);
    field = set.empty() ? 0 : set[0];
    return 0;
  }
  // Two or more ids: a list block, shared with the records that hold the
  // same set. Its id fits the 16-bit field.
  BlockId list = isList ? field : 0;
  int rc = assignCategoryList(list, set);
  field = static_cast<uint16_t>(list);
  isList = list ? 1 : 0;
  return rc;
}

// Grows one record array of a layout (the field cannot bind to BlockId&).
template <typename Field>
int insertRecords(BlockId layout, Field MFolder::*array, ElementType type, uint32_t index, uint32_t n) {
  MFolder* m = layoutOf(layout);
  if (!m) return +ErrorCode::InvalidBlockId;
  BlockId id = m->*array;
  int rc = store().insert(id, type, index, n);
  m->*array = id;
  return rc;
}

// Removes records first.. of one record array (at most up to its end),
// freeing the blocks they own first.
template <typename Record, typename Field>
int removeRecords(BlockId layout, Field MFolder::*array, ElementType type, uint32_t first, uint32_t n) {
  MFolder* m = layoutOf(layout);
  if (!m) return +ErrorCode::InvalidBlockId;
  uint32_t count = store().count(m->*array);
  if (first > count) return +ErrorCode::InvalidBlockId;
  n = std::min(n, count - first);
  if (n == 0) return 0;
  Record* p = reinterpret_cast<Record*>(store().elements(m->*array));
  for (uint32_t i = 0; i < n; ++i) releaseBlocks(p[first + i]);
  BlockId id = m->*array;
  int rc = store().remove(id, type, first, n);
  m->*array = id;
  return rc;
}

template <typename Record>
int setRecordCategories(Record& record, std::span<const uint16_t> set) {
  uint16_t field = record.categories;
  uint8_t isList = record.categoriesIsList;
  int rc = storeSet(field, isList, set);
  record.categories = field;
  record.categoriesIsList = isList;
  return rc;
}

}  // namespace

MPoint blankPoint() {
  MPoint p{};
  p.mode = kModeNone;
  return p;
}

// --- out-of-line fields --------------------------------------------------------

namespace {

const PointExtra kNoExtra{};

// Drops an extra that holds nothing but defaults again.
void dropIfDefault(MPoint& point) {
  const uint32_t handle = point.extra;
  if (const PointExtra* e = store().extra(handle); e && e->isDefault()) {
    store().freeExtra(handle);
    point.extra = 0;
  }
}

}  // namespace

const PointExtra& pointExtra(const MPoint& point) {
  const PointExtra* e = store().extra(point.extra);
  return e ? *e : kNoExtra;
}

PointExtra* editPointExtra(MPoint& point) {
  if (PointExtra* e = store().extra(point.extra)) return e;
  const uint32_t handle = store().allocateExtra();
  point.extra = handle;
  return store().extra(handle);
}

PolarObservation pointPolar(const MPoint& point) {
  PolarObservation polar;
  std::memcpy(polar.bytes, pointExtra(point).polar, sizeof polar.bytes);
  return polar;
}

int setPointScalars(MPoint& point, const PointScalars& scalars) {
  const bool none = scalars.dateTime == 0 && scalars.station == 0 && scalars.location == 0 &&
                    scalars.temperature == kTemperatureNone && scalars.polar.empty();
  PointExtra* e = none ? store().extra(point.extra) : editPointExtra(point);
  if (!e) return none ? 0 : +ErrorCode::StorageExceeded;
  e->dateTime = scalars.dateTime;
  e->station = scalars.station;
  e->location = scalars.location;
  e->temperature = scalars.temperature;
  std::memcpy(e->polar, scalars.polar.bytes, sizeof e->polar);
  dropIfDefault(point);
  return 0;
}

// --- layout arrays -------------------------------------------------------------

uint32_t polygonCount(BlockId layout) {
  const MFolder* m = layoutOf(layout);
  return m ? store().count(m->polygons) + m->singlePolygons : 0;
}

uint32_t pointCount(BlockId layout) {
  const MFolder* m = layoutOf(layout);
  return m ? store().count(m->points) : 0;
}

int materializePolygons(BlockId layout) {
  MFolder* m = layoutOf(layout);
  if (!m) return +ErrorCode::InvalidBlockId;
  const uint32_t n = m->singlePolygons;
  if (n == 0) return 0;
  const uint32_t first = store().count(m->polygons);
  BlockId id = m->polygons;
  int rc = store().insert(id, ElementType::Polygon, first, n);
  m->polygons = id;
  if (rc < 0) return rc;
  m->singlePolygons = 0;
  MPolygon* p = reinterpret_cast<MPolygon*>(store().elements(id)) + first;
  for (uint32_t i = 0; i < n; ++i) p[i].pointCount = 1;
  return 0;
}

int appendSinglePolygons(BlockId layout, uint32_t n) {
  MFolder* m = layoutOf(layout);
  if (!m) return +ErrorCode::InvalidBlockId;
  if (uint64_t(store().count(m->polygons)) + m->singlePolygons + n > UINT32_MAX) return +ErrorCode::StorageExceeded;
  m->singlePolygons += n;
  return 0;
}

MPolygon* polygons(BlockId layout) {
  const MFolder* m = layoutOf(layout);
  if (!m || materializePolygons(layout) < 0) return nullptr;
  return reinterpret_cast<MPolygon*>(store().elements(m->polygons));
}

const MPolygon* polygonView(BlockId layout, uint32_t i) {
  static const MPolygon kBare = [] {
    MPolygon p{};
    p.pointCount = 1;
    return p;
  }();
  const MFolder* m = layoutOf(layout);
  if (!m) return nullptr;
  const uint32_t records = store().count(m->polygons);
  if (i < records) return reinterpret_cast<const MPolygon*>(store().elements(m->polygons)) + i;
  return i - records < m->singlePolygons ? &kBare : nullptr;
}

MPoint* points(BlockId layout) {
  const MFolder* m = layoutOf(layout);
  return m ? reinterpret_cast<MPoint*>(store().elements(m->points)) : nullptr;
}

MPolygon* polygonAt(BlockId layout, uint32_t i) {
  if (i >= polygonCount(layout)) return nullptr;
  MPolygon* p = polygons(layout);
  return p ? p + i : nullptr;
}

MPoint* pointAt(BlockId layout, uint32_t i) { return i < pointCount(layout) ? points(layout) + i : nullptr; }

int insertPolygons(BlockId layout, uint32_t index, uint32_t n) {
  if (int rc = materializePolygons(layout); rc < 0) return rc;
  return insertRecords(layout, &MFolder::polygons, ElementType::Polygon, index, n);
}

int insertPoints(BlockId layout, uint32_t index, uint32_t n) {
  return insertRecords(layout, &MFolder::points, ElementType::Point, index, n);
}

int addPolygon(BlockId layout, uint32_t index, int16_t count) {
  int rc = insertPolygons(layout, index, 1);
  if (rc < 0) return rc;
  polygonAt(layout, index)->pointCount = count;
  return 0;
}

int addPoint(BlockId layout, uint32_t index, const MPoint& record) {
  return addPoints(layout, index, std::span<const MPoint>(&record, 1));
}

int addPolygons(BlockId layout, uint32_t index, std::span<const MPolygon> records) {
  if (records.empty()) return layoutOf(layout) ? 0 : +ErrorCode::InvalidBlockId;
  int rc = insertPolygons(layout, index, static_cast<uint32_t>(records.size()));
  if (rc < 0) return rc;
  std::memcpy(static_cast<void*>(polygons(layout) + index), records.data(), records.size_bytes());
  return 0;
}

int addPoints(BlockId layout, uint32_t index, std::span<const MPoint> records) {
  if (records.empty()) return layoutOf(layout) ? 0 : +ErrorCode::InvalidBlockId;
  int rc = insertPoints(layout, index, static_cast<uint32_t>(records.size()));
  if (rc < 0) return rc;
  std::memcpy(static_cast<void*>(points(layout) + index), records.data(), records.size_bytes());
  return 0;
}

void releaseBlocks(MPolygon& polygon) {
  if (polygon.comment) store().free(polygon.comment);
  polygon.comment = 0;
  uint16_t field = polygon.categories;
  uint8_t isList = polygon.categoriesIsList;
  releaseList(field, isList);
  polygon.categories = field;
  polygon.categoriesIsList = isList;
}

void releaseBlocks(MPoint& point) {
  if (const PointExtra* e = store().extra(point.extra)) {
    if (e->comment) store().free(e->comment);
    if (e->value) store().free(e->value);
    if (e->name) store().free(e->name);
    store().freeExtra(point.extra);
  }
  point.extra = 0;
  uint16_t field = point.categories;
  uint8_t isList = point.categoriesIsList;
  releaseList(field, isList);
  point.categories = field;
  point.categoriesIsList = isList;
}

int removePolygons(BlockId layout, uint32_t first, uint32_t n) {
  if (int rc = materializePolygons(layout); rc < 0) return rc;
  return removeRecords<MPolygon>(layout, &MFolder::polygons, ElementType::Polygon, first, n);
}

int removePoints(BlockId layout, uint32_t first, uint32_t n) {
  return removeRecords<MPoint>(layout, &MFolder::points, ElementType::Point, first, n);
}

// --- texts -----------------------------------------------------------------

int setText(MPoint& point, PointText which, std::string_view text) {
  // Clearing a text of a point without extra fields is nothing to do.
  PointExtra* e = text.empty() ? store().extra(point.extra) : editPointExtra(point);
  if (!e) return text.empty() ? 0 : +ErrorCode::StorageExceeded;
  int rc = store().setText(which == PointText::Comment ? e->comment : e->name, text);
  dropIfDefault(point);
  return rc;
}

int setText(MPolygon& polygon, std::string_view comment) { return replaceText(polygon, &MPolygon::comment, comment); }

std::string_view pointComment(const MPoint& point) { return store().text(pointExtra(point).comment); }
std::string_view pointName(const MPoint& point) { return store().text(pointExtra(point).name); }
std::string_view polygonComment(const MPolygon& polygon) { return store().text(polygon.comment); }

// --- category sets -----------------------------------------------------------

bool insertCategory(CategorySet& set, uint16_t id) {
  if (id == 0) return false;
  auto it = std::lower_bound(set.begin(), set.end(), id);
  if (it != set.end() && *it == id) return false;
  if (set.size() >= kMaxCategories) return false;
  set.insert(it, id);
  return true;
}

CategoryIds categoryIds(const MPoint& point) { return idsOf(point.categories, point.categoriesIsList); }
CategoryIds categoryIds(const MPolygon& polygon) { return idsOf(polygon.categories, polygon.categoriesIsList); }

int setCategories(MPoint& point, std::span<const uint16_t> set) { return setRecordCategories(point, set); }
int setCategories(MPolygon& polygon, std::span<const uint16_t> set) { return setRecordCategories(polygon, set); }

CategorySet categorySetFromText(std::string_view text, const CategoryPredicate& isActive,
                                std::span<const uint16_t> sourceMap) {
  CategorySet set;
  categorySetFromText(text, isActive, sourceMap, set);
  return set;
}

void categorySetFromText(std::string_view text, const CategoryPredicate& isActive,
                         std::span<const uint16_t> sourceMap, CategorySet& set) {
  set.clear();
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    size_t start = i;
    while (i < text.size() && text[i] != ' ' && text[i] != '\t') ++i;
    if (start == i) break;
    std::string_view token = text.substr(start, i - start);
    uint32_t value = 0;
    auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (ec != std::errc() || end != token.data() + token.size() || value > 0xFFFF) continue;
    if (!sourceMap.empty() && value >= 1 && value <= 1024 && value < sourceMap.size()) value = sourceMap[value];
    if (value == 0 || (isActive && !isActive(static_cast<uint16_t>(value)))) continue;
    insertCategory(set, static_cast<uint16_t>(value));
  }
}

// --- point values ------------------------------------------------------------

std::optional<float> pointValue(const MPoint& point) {
  const BlockId id = pointExtra(point).value;
  if (!id || store().count(id) < 1) return std::nullopt;
  PointValue v;
  std::memcpy(&v, store().elements(id), sizeof v);
  return v.value;
}

int setPointValue(MPoint& point, std::optional<float> value) {
  if (!value) {
    if (PointExtra* e = store().extra(point.extra)) {
      if (e->value) store().free(e->value);
      e->value = 0;
      dropIfDefault(point);
    }
    return 0;
  }
  PointExtra* e = editPointExtra(point);
  if (!e) return +ErrorCode::StorageExceeded;
  BlockId id = e->value;
  if (!id || store().count(id) < 1) {
    if (id) store().free(id);
    id = 0;
    int rc = store().insert(id, ElementType::PointValue, 0, 1);
    // The insert may add chunks, never move an extra.
    e->value = id;
    if (rc < 0) {
      dropIfDefault(point);
      return rc;
    }
  }
  PointValue v{};
  v.value = *value;
  std::memcpy(store().elements(id), &v, sizeof v);
  return 0;
}

int setPointValueFromText(MPoint& point, std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i == text.size()) return setPointValue(point, std::nullopt);
  double v = 0;
  if (parseLeadingDouble(text.substr(i), v) == 0) v = 0;
  // Beyond the range of the stored float the value would become infinite.
  if (!std::isfinite(static_cast<float>(v))) return +ErrorCode::InvalidParameterValue;
  return setPointValue(point, static_cast<float>(v));
}

// --- whole layout ------------------------------------------------------------

BoundingBox boundingBox(BlockId layout) {
  const MFolder* m = layoutOf(layout);
  BoundingBox box{0, 0, 0, 1, 1, 1};
  if (!m) return box;
  const uint32_t n = pointCount(layout);
  const MPoint* p = points(layout);
  if (n > 0 && p) {
    box = {p[0].x, p[0].y, p[0].z, p[0].x, p[0].y, p[0].z};
    for (uint32_t i = 1; i < n; ++i) {
      const double x = p[i].x, y = p[i].y, z = p[i].z;
      box.minX = std::min(box.minX, x);
      box.minY = std::min(box.minY, y);
      box.minZ = std::min(box.minZ, z);
      box.maxX = std::max(box.maxX, x);
      box.maxY = std::max(box.maxY, y);
      box.maxZ = std::max(box.maxZ, z);
    }
  }
  box.minX += m->xOffset;
  box.maxX += m->xOffset;
  box.minY += m->yOffset;
  box.maxY += m->yOffset;
  box.minZ += m->zOffset;
  box.maxZ += m->zOffset;
  return box;
}

int checkPointNumbers(BlockId layout) {
  MFolder* m = layoutOf(layout);
  if (!m) return +ErrorCode::InvalidBlockId;
  const uint32_t n = pointCount(layout);
  MPoint* p = points(layout);
  if (n == 0 || !p) return 0;
  if (p[0].number != 0) {
    // Ascending numbers (the common case) pass on the running maximum alone;
    // from the first number that is not above it on, all numbers go into a
    // hash set, so the test stays linear where comparing each point with all
    // earlier ones would be quadratic.
    uint32_t highest = 0;
    std::unordered_set<uint32_t> seen;
    bool hashing = false;
    for (uint32_t i = 0; i < n; ++i) {
      const uint32_t number = p[i].number;
      if (number == 0) return +ErrorCode::InvalidPointNumbers;
      if (number > highest) {
        highest = number;
        if (hashing) seen.insert(number);
        continue;
      }
      if (!hashing) {
        hashing = true;
        seen.reserve(2 * size_t(n - i) + i);
        for (uint32_t k = 0; k < i; ++k) seen.insert(p[k].number);
      }
      if (!seen.insert(number).second) return +ErrorCode::InvalidPointNumbers;
    }
    m->highestPointNumber = highest;
    return 0;
  }
  for (uint32_t i = 0; i < n; ++i)
    if (p[i].number != 0) return +ErrorCode::InvalidPointNumbers;
  for (uint32_t i = 0; i < n; ++i) p[i].number = i + 1;
  m->highestPointNumber = n;
  return 0;
}

}  // namespace vltrx
