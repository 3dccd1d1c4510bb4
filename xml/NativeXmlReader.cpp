// Native XML input: the root element, categories, folders, layouts,
// polygons and points, read straight into the store. Point and polygon
// arrays grow geometrically and are filled in place, so a layout of a
// million points costs a handful of reallocations, not one per point.
#include "xml/NativeXmlReader.h"

#include "core/CError.h"
#include "core/Layout.h"
#include "core/LayoutBuilder.h"
#include "core/MeasurementTree.h"
#include "core/MessageTable.h"
#include "core/Numbers.h"
#include "ui/Ui.h"
#include "xml/XmlReader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <string>

namespace vltrx {
namespace {

constexpr std::array<std::string_view, 1> kRootNames = {"velmora"};
constexpr std::array<std::string_view, 4> kRootChildren = {"category_list", "category_ref", "valuedef",
                                                           "measurements"};
enum RootChild { kCategoryList, kCategoryRef, kValueDef, kMeasurements };
constexpr std::array<std::string_view, 2> kFolderChildren = {"subfolder", "mfolder"};
constexpr std::array<std::string_view, 1> kPolygonName = {"polygon"};
constexpr std::array<std::string_view, 1> kPointName = {"point"};
constexpr std::array<std::string_view, 1> kValueName = {"value"};

constexpr std::array<std::string_view, 1> kRootAttrs = {"S?version"};
constexpr std::array<std::string_view, 1> kMeasurementsAttrs = {"S?preferred_system"};
constexpr std::array<std::string_view, 7> kNodeAttrs = {"S!name",     "I?protected", "S?comment", "R?x_offset",
                                                        "R?y_offset", "R?z_offset",  "S?type"};
enum NodeAttr { kNodeName, kNodeProtected, kNodeComment, kXOffset, kYOffset, kZOffset, kNodeType };
constexpr std::array<std::string_view, 3> kPolygonAttrs = {"I?closed", "S?categories", "S?comment"};
constexpr std::array<std::string_view, 18> kPointAttrs = {
    "S?id",    "S?name",    "R!x",       "R!y",          "R!z",    "R?r",    "R?phi",  "R?h",          "R?dev_r",
    "R?dev_phi", "I?station", "I?location", "I?temperature", "I?mode", "I?date", "I?time", "S?categories", "S?comment"};
enum PointAttr {
  kId, kName, kX, kY, kZ, kR, kPhi, kH, kDevR, kDevPhi, kStation, kLocation, kTemperature, kMode, kDate, kTime,
  kCategories, kComment
};

// Versions whose layouts all get layout type 2.
constexpr std::array<std::string_view, 2> kType2Versions = {"2.82", "2.83"};

// Text buffers: the attribute's characters plus the terminating zero.
constexpr size_t kVersionSize = 32;
constexpr size_t kSystemSize = 8;
constexpr size_t kNodeTextSize = 30;
constexpr size_t kPointNameSize = 60;
constexpr size_t kCommentSize = 30;
// Room for a full set of 1024 five-digit ids with their blanks, so that a
// set the writer wrote is never cut into a different id.
constexpr size_t kCategoriesSize = 6145;

// Zero records added when a layout's array is full: at least this many, else
// as many as it already holds.
constexpr uint32_t kMinGrowth = 256;

int32_t clampTo(int32_t v, int32_t lo, int32_t hi) { return std::clamp(v, lo, hi); }

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

class NativeReader {
 public:
  NativeReader(XmlReader& reader, const NativeReadOptions& options, NativeXmlCallback& callback,
               NativeCategoryHooks* categories)
      : m_r(reader), m_options(options), m_callback(callback), m_categories(categories) {
    m_isActive = [this](uint16_t id) { return m_categories && m_categories->isActive(id); };
  }

  int readDocument(BlockId parent, NativeReadResult& result) {
    int rc = m_r.checkDocumentStart();
    if (rc < 0) return rc;
    rc = m_r.nextElement(kRootNames);
    if (rc < 0) return rc;
    char version[kVersionSize];
    std::array<XmlSlot, 1> slots = {XmlSlot::textSlot(version)};
    if ((rc = m_r.readAttributes(kRootAttrs, slots)) < 0) return rc;
    m_type2 = std::find(kType2Versions.begin(), kType2Versions.end(), std::string_view(version)) !=
              kType2Versions.end();

    for (;;) {
      int child = m_r.nextElement(kRootChildren);
      if (child < 0) return child;
      if (child == XmlReader::kEnd) break;
      switch (child) {
        case kCategoryList:
          if (m_categories && (rc = m_categories->readCategoryList(m_r)) < 0) return rc;
          break;
        case kCategoryRef:
          if (m_categories) {
            m_map.assign(1025, 0);
            if ((rc = m_categories->readCategoryRef(m_r, m_map)) < 0) return rc;
          }
          break;
        case kMeasurements:
          if ((rc = readMeasurements(parent, result)) < 0) return rc;
          break;
        default:
          break;  // valuedef: not used
      }
      if ((rc = m_r.skipRest()) < 0) return rc;
    }

    if (!m_options.keepOffsets)
      for (BlockId layout : m_layouts) applyOffsets(layout);
    result.layouts = m_layouts;
    return 0;
  }

 private:
  int error(int code, std::string_view detail = {}) {
    setPendingDetail(code, m_r.line(), detail);
    return code;
  }

  int readMeasurements(BlockId parent, NativeReadResult& result) {
    char system[kSystemSize];
    std::array<XmlSlot, 1> slots = {XmlSlot::textSlot(system)};
    int rc = m_r.readAttributes(kMeasurementsAttrs, slots);
    if (rc < 0) return rc;
    if (slots[0].present) {
      PreferredSystem s = preferredSystemFromText(system);
      setPreferredSystem(s);
      result.preferredSystem = s;
    }
    return readFolderContent(parent);
  }

  int readFolderContent(BlockId parent) {
    for (;;) {
      int child = m_r.nextElement(kFolderChildren);
      if (child < 0) return child;
      if (child == XmlReader::kEnd) return 0;
      int rc = readNode(parent, child == 0);
      if (rc < 0) return rc;
      if ((rc = m_r.skipRest()) < 0) return rc;
    }
  }

  // Forgets the layouts of a subtree that is about to be deleted.
  void forgetLayouts(BlockId node) {
    visit(node, [&](BlockId n, int phase) {
      if (phase == 0) m_layouts.erase(std::remove(m_layouts.begin(), m_layouts.end(), n), m_layouts.end());
      return 1;
    });
  }

  int readNode(BlockId parent, bool isSubfolder) {
    char name[kNodeTextSize], comment[kNodeTextSize], type[kNodeTextSize];
    std::array<XmlSlot, 7> slots = {XmlSlot::textSlot(name),    XmlSlot::integerSlot(0), XmlSlot::textSlot(comment),
                                    XmlSlot::realSlot(0),       XmlSlot::realSlot(0),    XmlSlot::realSlot(0),
                                    XmlSlot::textSlot(type)};
    int rc = m_r.readAttributes(kNodeAttrs, slots);
    if (rc < 0) return rc;
    if (isSubfolder && depth(parent) >= kMaxFolderDepth) return error(+ErrorCode::TooManyFolderLevels);

    std::string_view trimmed = trimBlanks(name);
    if (trimmed.empty()) return error(+ErrorCode::InvalidName, std::to_string(m_r.line()));
    m_text.assign(trimmed);
    m_callback.convertToStore(m_text);
    std::string nodeNameText(cutUtf8(m_text, kNodeNameMax));
    if (nodeNameText.empty()) return error(+ErrorCode::InvalidName, std::to_string(m_r.line()));
    m_callback.nodeStarted(nodeNameText, isSubfolder);

    int position = findChildPosition(parent, nodeNameText, isSubfolder);
    if (position < 0) {
      if (!m_callback.replaceExisting(nodeNameText, isSubfolder)) return 0;  // skipped whole by the caller
      position = ~position;
      BlockId existing = childAt(parent, static_cast<uint32_t>(position));
      forgetLayouts(existing);
      if ((rc = deleteNode(existing)) < 0) return error(rc);
    }

    BlockId node = createNode(nodeNameText, isSubfolder);
    if (!node) return error(+ErrorCode::StorageExceeded);
    if ((rc = linkChild(parent, static_cast<uint32_t>(position), node)) < 0) {
      deleteNode(node);
      return error(rc);
    }
    LayoutGuard guard(isSubfolder ? 0 : node);

    if (comment[0]) {
      m_text.assign(comment);
      m_callback.convertToStore(m_text);
      if ((rc = setNodeComment(node, cutUtf8(m_text, kCommentSize - 1))) < 0) return error(rc);
    }
    nodeHeader(node)->isProtected = slots[kNodeProtected].integer != 0 ? 1 : 0;
    if (!isSubfolder) {
      MFolder* f = mFolder(node);
      f->xOffset = slots[kXOffset].real;
      f->yOffset = slots[kYOffset].real;
      f->zOffset = slots[kZOffset].real;
      f->layoutType = m_type2 ? 2 : (std::string_view(type) == "Quintar_MinMaxZ" ? 1 : 0);
    }
    m_callback.nodeCreated(node);

    if (isSubfolder) return readFolderContent(node);
    if ((rc = readLayout(node)) < 0) return rc;
    guard.release();
    m_layouts.push_back(node);
    return 0;
  }

  // --- layouts -------------------------------------------------------------

  // Room for one more record at index used, growing the array geometrically.
  template <typename Insert>
  static int ensureRoom(BlockId layout, uint32_t used, uint32_t& capacity, Insert insert) {
    if (used < capacity) return 0;
    uint32_t grow = std::max(capacity, kMinGrowth);
    int rc = insert(layout, capacity, grow);
    if (rc < 0) return rc;
    capacity += grow;
    return 0;
  }

  int readLayout(BlockId layout) {
    uint32_t polygonsUsed = 0, polygonCapacity = 0;
    uint32_t pointsUsed = 0, pointCapacity = 0;
    int rc;
    for (;;) {
      int child = m_r.nextElement(kPolygonName);
      if (child < 0) return child;
      if (child == XmlReader::kEnd) break;
      if ((rc = ensureRoom(layout, polygonsUsed, polygonCapacity, insertPolygons)) < 0) return error(rc);
      if ((rc = readPolygonAttributes(*polygonAt(layout, polygonsUsed))) < 0) return rc;

      uint32_t first = pointsUsed;
      for (;;) {
        int p = m_r.nextElement(kPointName);
        if (p < 0) return p;
        if (p == XmlReader::kEnd) break;
        if (pointsUsed - first >= kMaxPolygonPoints) return error(+ErrorCode::StorageExceeded);
        if ((rc = ensureRoom(layout, pointsUsed, pointCapacity, insertPoints)) < 0) return error(rc);
        if ((rc = readPoint(*pointAt(layout, pointsUsed))) < 0) return rc;
        ++pointsUsed;
        if ((rc = m_r.skipRest()) < 0) return rc;
      }

      MPolygon& polygon = *polygonAt(layout, polygonsUsed);
      if (pointsUsed > first) {
        polygon.pointCount = static_cast<int16_t>(pointsUsed - first);
        ++polygonsUsed;
      } else {
        // A polygon without points is dropped again; its record is reused.
        releaseBlocks(polygon);
        std::memset(&polygon, 0, sizeof polygon);
      }
      if ((rc = m_r.skipRest()) < 0) return rc;
    }
    if (polygonCapacity > polygonsUsed) removePolygons(layout, polygonsUsed, polygonCapacity - polygonsUsed);
    if (pointCapacity > pointsUsed) removePoints(layout, pointsUsed, pointCapacity - pointsUsed);

    if (m_options.checkPointNumbers && (rc = checkPointNumbers(layout)) < 0) return error(rc);
    return 0;
  }

  int readPolygonAttributes(MPolygon& polygon) {
    char comment[kCommentSize];
    std::array<XmlSlot, 3> slots = {XmlSlot::integerSlot(0), XmlSlot::textSlot(m_categoryText),
                                    XmlSlot::textSlot(comment)};
    int rc = m_r.readAttributes(kPolygonAttrs, slots);
    if (rc < 0) return rc;
    polygon.closed = slots[0].integer != 0 ? 1 : 0;
    if (m_categoryText[0]) {
      parseCategories(m_categoryText);
      if ((rc = setCategories(polygon, m_set)) < 0) return error(rc);
    }
    if (comment[0]) {
      m_text.assign(comment);
      m_callback.convertToStore(m_text);
      if ((rc = setText(polygon, cutUtf8(m_text, kCommentSize - 1))) < 0) return error(rc);
    }
    return 0;
  }

  // The category ids of a text, translated through the document's
  // category_ref map and kept only when the list in force holds them.
  // Reuses one set, so points cost no allocation here.
  void parseCategories(std::string_view text) { categorySetFromText(text, m_isActive, m_map, m_set); }

  int setPointText(MPoint& point, PointText which, const char* text, size_t size) {
    if (!text[0]) return 0;
    m_text.assign(text);
    m_callback.convertToStore(m_text);
    int rc = setText(point, which, cutUtf8(m_text, size - 1));
    return rc < 0 ? error(rc) : 0;
  }

  int readPoint(MPoint& point) {
    char name[kPointNameSize], comment[kCommentSize], idText[40];
    std::array<XmlSlot, 18> s;
    // The id is read as text, so that an id too big is reported as the file
    // gives it, not clamped to 32 bits.
    s[kId] = XmlSlot::textSlot(idText);
    s[kName] = XmlSlot::textSlot(name);
    s[kStation] = XmlSlot::integerSlot(0);
    s[kLocation] = XmlSlot::integerSlot(0);
    s[kTemperature] = XmlSlot::integerSlot(kTemperatureNone);
    s[kMode] = XmlSlot::integerSlot(kModeNone);
    s[kDate] = XmlSlot::integerSlot(0);
    s[kTime] = XmlSlot::integerSlot(0);
    s[kCategories] = XmlSlot::textSlot(m_categoryText);
    s[kComment] = XmlSlot::textSlot(comment);
    int rc = m_r.readAttributes(kPointAttrs, s);
    if (rc < 0) return rc;

    int64_t id = 0;
    if (parseLeadingInt(idText, id) == 0) id = 0;
    if (id > int64_t{kMaxPointNumber}) return error(+ErrorCode::PointNumberTooBig, leadingIntText(idText));
    // A negative number would turn into a huge unsigned one in the store.
    if (id < 0) return error(+ErrorCode::InvalidParameterValue, "id");

    point = blankPoint();
    point.x = s[kX].real;
    point.y = s[kY].real;
    point.z = s[kZ].real;
    point.number = static_cast<uint32_t>(id);
    PointScalars scalars;
    if (s[kR].present || s[kPhi].present || s[kH].present || s[kDevR].present || s[kDevPhi].present)
      scalars.polar = encodePolar({s[kR].real, s[kPhi].real, s[kDevR].real, s[kDevPhi].real, s[kH].real});
    scalars.station = static_cast<uint32_t>(std::max(s[kStation].integer, 0));
    scalars.location = static_cast<uint16_t>(clampTo(s[kLocation].integer, 0, 65535));
    scalars.temperature = static_cast<int8_t>(clampTo(s[kTemperature].integer, -128, 127));
    point.mode = static_cast<uint8_t>(clampTo(s[kMode].integer, 0, 255));
    if (s[kDate].integer > 0 && s[kTime].integer >= 0) {
      if (auto packed = packDateTime(static_cast<uint32_t>(s[kDate].integer), static_cast<uint32_t>(s[kTime].integer)))
        scalars.dateTime = *packed;
    }
    if ((rc = setPointScalars(point, scalars)) < 0) return error(rc);
    if ((rc = setPointText(point, PointText::Name, name, kPointNameSize)) < 0) return rc;
    if ((rc = setPointText(point, PointText::Comment, comment, kCommentSize)) < 0) return rc;
    if (m_categoryText[0]) {
      parseCategories(m_categoryText);
      if ((rc = setCategories(point, m_set)) < 0) return error(rc);
    }

    for (;;) {
      int v = m_r.nextElement(kValueName);
      if (v < 0) return v;
      if (v == XmlReader::kEnd) break;
      char value[XmlReader::kMaxElementText + 1];
      if ((rc = m_r.elementText(value)) < 0) return rc;
      if ((rc = setPointValueFromText(point, value)) < 0) return error(rc, "value");
      if ((rc = m_r.skipRest()) < 0) return rc;
    }
    return 0;
  }

  static void applyOffsets(BlockId layout) {
    MFolder* f = mFolder(layout);
    if (!f || (f->xOffset == 0 && f->yOffset == 0 && f->zOffset == 0)) return;
    double dx = f->xOffset, dy = f->yOffset, dz = f->zOffset;
    MPoint* pts = points(layout);
    uint32_t n = pointCount(layout);
    for (uint32_t i = 0; pts && i < n; ++i) {
      pts[i].x += dx;
      pts[i].y += dy;
      pts[i].z += dz;
    }
    f->xOffset = f->yOffset = f->zOffset = 0;
  }

  XmlReader& m_r;
  const NativeReadOptions& m_options;
  NativeXmlCallback& m_callback;
  NativeCategoryHooks* m_categories;
  CategoryPredicate m_isActive;
  bool m_type2 = false;
  std::vector<uint16_t> m_map;  // document id -> list id, empty without category_ref
  std::vector<BlockId> m_layouts;
  CategorySet m_set;
  std::string m_text;
  char m_categoryText[kCategoriesSize];
};

NativeReadResult run(XmlReader& reader, BlockId parent, const NativeReadOptions& options, Ui& ui,
                     NativeXmlCallback& callback, NativeCategoryHooks* categories) {
  NativeReadResult result;
  auto native = std::make_unique<NativeReader>(reader, options, callback, categories);
  int rc = native->readDocument(parent, result);
  ui.endPhase();
  if (rc < 0) {
    // The parser's line goes with every error: " [line %d]".
    uint32_t line = pendingDetail().set && pendingDetail().code == rc ? pendingDetail().line : reader.line();
    CError e = makeError(rc);
    e.append(lineSuffix(line));
    throw e;
  }
  return result;
}

}  // namespace

NativeReadResult readNativeXml(const std::filesystem::path& path, BlockId parent, const NativeReadOptions& options,
                               Ui& ui, NativeXmlCallback& callback, NativeCategoryHooks* categories) {
  XmlReader reader;
  // The bar runs over the file size, counted in KiB to fit 32 bits.
  std::error_code ec;
  uint64_t size = std::filesystem::file_size(path, ec);
  ui.beginPhase(100, static_cast<uint32_t>(std::max<uint64_t>(ec ? 1 : size >> 10, 1)));
  int rc = reader.openFile(path, [&ui](uint64_t done, uint64_t) { ui.update(static_cast<uint32_t>(done >> 10)); });
  if (rc < 0) {
    ui.endPhase();
    throw makeError(rc);
  }
  return run(reader, parent, options, ui, callback, categories);
}

NativeReadResult readNativeXmlText(std::string_view document, BlockId parent, const NativeReadOptions& options,
                                   Ui& ui, NativeXmlCallback& callback, NativeCategoryHooks* categories) {
  XmlReader reader;
  ui.beginPhase(100, 1);
  reader.openMemory(document);
  return run(reader, parent, options, ui, callback, categories);
}

}  // namespace vltrx
