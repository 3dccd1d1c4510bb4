// Contents of a layout: the fixed-width MPolygon and MPoint records, their texts,
// category sets and point values, adding and removing records, the bounding
// box and the point-number check.
#pragma once

#include "core/BlockStore.h"
#include "core/MeasurementTree.h"
#include "core/MeasurementTypes.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace vltrx {

/// Point mode values written by the readers: 128 = no mode.
constexpr uint8_t kModeNone = 128;
constexpr uint8_t kModeStaged = 225;
/// Temperature meaning "none".
constexpr int8_t kTemperatureNone = -128;
/// Most points one polygon can own (the point count is an i16).
constexpr uint32_t kMaxPolygonPoints = 32767;
/// Largest point number the readers accept.
constexpr uint32_t kMaxPointNumber = 2147483600;
/// Most ids in a CategorySet.
constexpr size_t kMaxCategories = 1024;

/// A polygon of a layout, 12 bytes. It owns pointCount consecutive MPoint
/// records; a single point is a polygon of one point.
struct MPolygon {
  Unaligned<BlockId> comment;      // text block
  Unaligned<uint16_t> categories;  // CategorySet encoding (see setCategories)
  Unaligned<int16_t> pointCount;
  uint8_t reserved[2];
  uint8_t categoriesIsList;  // 1 = categories is the BlockId of a u16 typed array
  uint8_t closed;            // 1 = closed polygon
};

/// A point of a layout, 36 bytes. Coordinates are without the layout offsets.
/// The fields few points use (texts, value, date and time, station,
/// location, temperature, polar observation) live in the point's PointExtra
/// (see pointExtra), so that a bare point costs no more than this record.
struct MPoint {
  Unaligned<double> x, y, z;
  Unaligned<uint32_t> number;  // 0 = not yet numbered
  Unaligned<uint16_t> categories;
  uint8_t mode;  // 128 = no mode
  uint8_t categoriesIsList;
  Unaligned<uint32_t> extra;  // handle of the point's PointExtra, 0 = none
};

/// Element of the one-element value array of a point, 6 bytes.
struct PointValue {
  Unaligned<uint16_t> reserved;
  Unaligned<float> value;
};

static_assert(sizeof(MPolygon) == 12);
static_assert(sizeof(MPoint) == 36);
static_assert(sizeof(PointValue) == 6);
static_assert(alignof(MPoint) == 1 && alignof(MPolygon) == 1);
static_assert(elementInfo(ElementType::Point).size == sizeof(MPoint));
static_assert(elementInfo(ElementType::Polygon).size == sizeof(MPolygon));
static_assert(elementInfo(ElementType::PointValue).size == sizeof(PointValue));

/// A zero MPoint with mode 128 (no mode) and no extra (so temperature -128).
MPoint blankPoint();

// --- out-of-line fields --------------------------------------------------------

/// The point's extra fields; the defaults (no texts, no value, date 0,
/// station 0, location 0, temperature -128, no polar observation) for a point
/// that has none.
const PointExtra& pointExtra(const MPoint& point);
/// The point's extra fields for writing, created with the defaults when it
/// has none; nullptr when memory runs out.
PointExtra* editPointExtra(MPoint& point);
/// The polar observation of a point (all zero = none).
PolarObservation pointPolar(const MPoint& point);
/// Sets the fields of the point's extra that are no blocks (date and time,
/// station, location, temperature, polar observation); the extra is only
/// created when one of them differs from its default. 0 or -602.
struct PointScalars {
  uint32_t dateTime = 0;
  uint32_t station = 0;
  uint16_t location = 0;
  int8_t temperature = -128;
  PolarObservation polar;
};
int setPointScalars(MPoint& point, const PointScalars& scalars);

// --- layout arrays -------------------------------------------------------------

/// Polygons of the layout: its polygon records and the bare single-point
/// polygons after them that have no record (see MFolder::singlePolygons).
uint32_t polygonCount(BlockId layout);
uint32_t pointCount(BlockId layout);

/// Pointers into the layout's arrays; nullptr for an index out of range.
/// Valid until the next insert into or removal from the same array. Asking
/// for a writable polygon first gives the bare single-point polygons their
/// records (nullptr when memory for them runs out).
MPolygon* polygonAt(BlockId layout, uint32_t i);
MPoint* pointAt(BlockId layout, uint32_t i);
/// Pointer to the first record (nullptr when there is none); for polygons
/// after giving every polygon its record, as polygonAt does.
MPolygon* polygons(BlockId layout);
MPoint* points(BlockId layout);
/// Read-only view of polygon i: its record, or a shared bare record (one
/// point, open, no comment, no categories) for a polygon without one. Never
/// gives records to the bare polygons; valid as polygonAt's pointers are.
const MPolygon* polygonView(BlockId layout, uint32_t i);
/// Appends n bare single-point polygons without records. 0 or -613.
int appendSinglePolygons(BlockId layout, uint32_t n);
/// Gives the bare single-point polygons of the layout their records.
/// 0, -613 or -602.
int materializePolygons(BlockId layout);

/// Inserts an all-zero MPolygon with the given point count at index.
/// 0; -613 for an unknown layout or an index beyond the count; -602.
int addPolygon(BlockId layout, uint32_t index, int16_t pointCount);
/// Inserts a copy of record at index of the point array. The layout takes
/// over the text, list and value blocks the record refers to.
int addPoint(BlockId layout, uint32_t index, const MPoint& record);
/// Inserts copies of all records at index with one resize of the array.
int addPolygons(BlockId layout, uint32_t index, std::span<const MPolygon> records);
int addPoints(BlockId layout, uint32_t index, std::span<const MPoint> records);
/// Inserts n zero records at index with one resize (fill them in place).
int insertPolygons(BlockId layout, uint32_t index, uint32_t n);
int insertPoints(BlockId layout, uint32_t index, uint32_t n);

/// Remove up to n records at first, freeing each removed record's comment,
/// list-form category set, value and name blocks. 0 or -613.
int removePolygons(BlockId layout, uint32_t first, uint32_t n);
int removePoints(BlockId layout, uint32_t first, uint32_t n);

/// Frees the text, list and value blocks a record refers to and zeroes those
/// fields (the record itself stays); a point also loses its extra fields.
void releaseBlocks(MPolygon& polygon);
void releaseBlocks(MPoint& point);

// --- texts -----------------------------------------------------------------

enum class PointText { Comment, Name };

/// Stores a comment or name as a text block (empty = none). 0 or -602.
int setText(MPoint& point, PointText which, std::string_view text);
int setText(MPolygon& polygon, std::string_view comment);
/// The texts ("" when none).
std::string_view pointComment(const MPoint& point);
std::string_view pointName(const MPoint& point);
std::string_view polygonComment(const MPolygon& polygon);

// --- category sets -----------------------------------------------------------

/// The sorted set of distinct category ids (at most 1024) of a point or polygon.
using CategorySet = std::vector<uint16_t>;

/// Inserts id into the sorted set (duplicates ignored, at most 1024 ids;
/// 0 is never inserted). True when the set changed.
bool insertCategory(CategorySet& set, uint16_t id);

/// Read-only view of a record's category set, without allocation.
class CategoryIds {
 public:
  CategoryIds() = default;
  CategoryIds(uint16_t single) : m_single(single), m_count(single ? 1 : 0) {}
  CategoryIds(const uint16_t* data, uint32_t count) : m_data(data), m_count(count) {}
  const uint16_t* begin() const { return m_data ? m_data : &m_single; }
  const uint16_t* end() const { return begin() + m_count; }
  size_t size() const { return m_count; }
  bool empty() const { return m_count == 0; }
  uint16_t operator[](size_t i) const { return begin()[i]; }
  CategorySet toSet() const { return CategorySet(begin(), end()); }

 private:
  uint16_t m_single = 0;
  const uint16_t* m_data = nullptr;
  uint32_t m_count = 0;
};

/// The category set of a record (empty when a list id names no block).
CategoryIds categoryIds(const MPoint& point);
CategoryIds categoryIds(const MPolygon& polygon);

/// Replaces the record's category set. Empty: field 0, flag 0; one id: the id,
/// flag 0; more: a u16 typed array whose id fits 16 bits, flag 1. Records with
/// the same set share one list block (CategoryLists.h): the old list loses a
/// reference and is freed with its last one; a list the record holds alone is
/// rewritten in place when it has as many ids. The set is sorted and made
/// distinct first. 0, or -602 when no list id below 65536 is free.
int setCategories(MPoint& point, std::span<const uint16_t> set);
int setCategories(MPolygon& polygon, std::span<const uint16_t> set);

/// Membership test of the category list in force.
using CategoryPredicate = std::function<bool(uint16_t id)>;

/// A category set from a text of decimal ids separated by blanks or tabs.
/// Each id is first translated through sourceMap when it is given and the id
/// is 1..1024 (sourceMap[id]; ids beyond its size stay as they are); ids that
/// are 0 or not accepted by isActive are dropped, as are tokens that are no
/// number 0..65535; duplicates are ignored, at most 1024 ids are kept.
CategorySet categorySetFromText(std::string_view text, const CategoryPredicate& isActive,
                                std::span<const uint16_t> sourceMap = {});
/// The same into set (cleared first), which keeps its capacity: readers
/// that parse a text per point reuse one set and allocate nothing here.
void categorySetFromText(std::string_view text, const CategoryPredicate& isActive,
                         std::span<const uint16_t> sourceMap, CategorySet& set);

// --- point values ------------------------------------------------------------

/// The point's value, none when it has no value block.
std::optional<float> pointValue(const MPoint& point);
/// Sets (or with no value removes) the point's value. 0 or -602.
int setPointValue(MPoint& point, std::optional<float> value);
/// Sets the value from text: leading blanks skipped, a decimal number read;
/// empty or blank text gives no value, text that holds no number gives 0, a
/// number beyond the range of a float fails with -701.
int setPointValueFromText(MPoint& point, std::string_view text);

// --- whole layout ------------------------------------------------------------

struct BoundingBox {
  double minX, minY, minZ;
  double maxX, maxY, maxZ;
};

/// Minimum and maximum of x, y, z over all points plus the layout offsets; a
/// layout without points gives (0, 0, 0) - (1, 1, 1) plus the offsets.
BoundingBox boundingBox(BlockId layout);

/// Checks the point numbers of the layout: when the first point has a number,
/// every point needs one and none may occur twice; when the first has none, no
/// point may have one and they are numbered 1, 2, 3 ... in storage order. The
/// highest number is stored in the layout. 0, -907, or -613.
int checkPointNumbers(BlockId layout);

}  // namespace vltrx
