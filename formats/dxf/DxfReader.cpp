// Reader of ASCII DXF drawings: sections, header, layers, post-processing
// and commit.
//
// The plan under construction is lean: one 24-byte coordinate triple per
// point in one table, polygons as ranges of it, the rare centre-point
// comments out of line. It is turned into staged polygons of the store only
// at the commit, in batches of about 16 Ki points, so the staged copy never
// holds more than one batch besides the store.
#include "formats/dxf/DxfReader.h"

#include "core/CError.h"
#include "core/Layout.h"
#include "core/LayoutBuilder.h"
#include "core/MeasurementTree.h"
#include "core/MessageTable.h"
#include "core/Numbers.h"
#include "core/Staging.h"
#include "formats/dxf/DxfEntities.h"
#include "formats/dxf/DxfGroupReader.h"
#include "framework/AllFormatOptions.h"
#include "framework/Conversion.h"
#include "platform/CodePage.h"
#include "ui/Ui.h"
#include "xml/CategoryList.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace vltrx {
namespace {

// Drawings of this release and later hold UTF-8 values.
constexpr int kFirstUtf8Version = 1021;

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string upperCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = upper(c);
  return out;
}

bool startsWithIgnoreCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (upper(s[i]) != upper(prefix[i])) return false;
  return true;
}

// The next pair that is not a 999 comment.
int readCodeSkippingComments(DxfGroupReader& r) {
  int code = r.ReadCode();
  while (code == 999) code = r.ReadCode();
  return code;
}

// Skips to the group-0 pair "ENDSEC" (consumed) or "EOF" (pushed back).
void skipSection(DxfGroupReader& r) {
  for (;;) {
    if (r.ReadCode() != 0) continue;
    const std::string_view v = trimmed(r.rawValue());
    if (v == "ENDSEC") return;
    if (v == "EOF") {
      r.PushBack();
      return;
    }
  }
}

// True for the group-0 pairs that end a section early; "EOF" is pushed back.
bool endsSection(DxfGroupReader& r) {
  const std::string_view v = trimmed(r.rawValue());
  if (v == "ENDSEC") return true;
  if (v == "EOF") {
    r.PushBack();
    return true;
  }
  return false;
}

void readHeader(DxfGroupReader& r, tDXFData& data) {
  int version = 0;
  uint32_t codePage = 0;
  for (;;) {
    const int code = r.ReadCode();
    if (code == 0) {
      if (endsSection(r)) break;
      continue;
    }
    if (code != 9) continue;
    const std::string_view name = trimmed(r.rawValue());
    if (name == "$ACADVER") {
      if (r.ReadCode() != 1) r.fail(ErrorCode::DxfInvalidStructure);
      // "AC1015": the number from the third character on.
      const std::string_view v = trimmed(r.rawValue());
      int64_t n = 0;
      if (v.size() > 2 && parseLeadingInt(v.substr(2), n) > 0 && n > 0 && n < 100000) version = static_cast<int>(n);
    } else if (name == "$DWGCODEPAGE") {
      if (r.ReadCode() != 3) r.fail(ErrorCode::DxfInvalidStructure);
      // "ANSI_1252" (also "ansi_1252"); "ASCII", "UNDEFINED", "MAC-ROMAN"
      // and the like give the ANSI code page.
      const std::string_view v = trimmed(r.rawValue());
      int64_t n = 0;
      codePage = 0;
      if (startsWithIgnoreCase(v, "ANSI_") && parseLeadingInt(v.substr(5), n) > 0 && n > 0 && n < 100000 &&
          platform::isSupportedCodePage(static_cast<uint32_t>(n)))
        codePage = static_cast<uint32_t>(n);
    }
  }
  data.version = version;
  data.codePage = codePage;
  if (version >= kFirstUtf8Version)
    r.setUtf8(true);
  else
    r.setCodePage(codePage);
}

// One LAYER record: name (2), colour (62, negative = off), flags (70, bit 1
// = frozen).
void readLayerRecord(DxfGroupReader& r, tDXFData& data) {
  std::string name;
  int colour = 7, flags = 0;
  while (r.ReadCode() != 0) {
    switch (r.code()) {
      case 2: name = r.ValueString(); break;
      case 62: colour = r.ValueInt(); break;
      case 70: flags = r.ValueInt(); break;
      default: break;
    }
  }
  r.PushBack();
  if (flags & 1)
    data.frozenLayers.push_back(upperCase(name));
  else if (colour < 0)
    data.offLayers.push_back(upperCase(name));
}

void sortUnique(std::vector<std::string>& v) {
  std::sort(v.begin(), v.end());
  v.erase(std::unique(v.begin(), v.end()), v.end());
}

void readTables(DxfGroupReader& r, tDXFData& data) {
  bool inLayerTable = false;
  for (;;) {
    if (r.ReadCode() != 0) continue;
    if (endsSection(r)) break;
    const std::string_view v = trimmed(r.rawValue());
    if (v == "TABLE") {
      // The table's name; a table without one is skipped (its next pair
      // may be the ENDTAB or ENDSEC that the loop needs).
      inLayerTable = false;
      if (readCodeSkippingComments(r) == 2)
        inLayerTable = trimmed(r.rawValue()) == "LAYER";
      else
        r.PushBack();
    } else if (v == "ENDTAB") {
      inLayerTable = false;
    } else if (inLayerTable && v == "LAYER") {
      readLayerRecord(r, data);
    }
  }
  sortUnique(data.frozenLayers);
  sortUnique(data.offLayers);
}

// CLASS records: record name (1), class name (2), was-a-proxy (280),
// is-an-entity (281); entity classes are kept.
void readClasses(DxfGroupReader& r, tDXFData& data) {
  for (;;) {
    if (r.ReadCode() != 0) continue;
    if (endsSection(r)) return;
    if (trimmed(r.rawValue()) != "CLASS") continue;
    std::string recordName;
    int isEntity = 0;
    while (r.ReadCode() != 0) {
      if (r.code() == 1) recordName = r.ValueString();
      if (r.code() == 281) isEntity = r.ValueInt();
    }
    r.PushBack();
    if (isEntity == 1) data.classes.push_back(recordName);
  }
}

// --- post-processing -------------------------------------------------------------

void filterCentrePoints(tDXFData& data, const DxfReadSettings& s) {
  if (s.cpMethod == kCentrePointsAll) return;
  auto isCentre = [&](const DxfStagedPolygon& p) {
    return p.count == 1 && p.extra >= 0 && data.extras[static_cast<size_t>(p.extra)].category == kCategoryCentrePoint;
  };
  double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
  for (const DxfStagedPolygon& p : data.polygons) {
    if (p.removed || isCentre(p)) continue;
    for (uint32_t i = 0; i < p.count; ++i) {
      const DxfVec& v = data.points[p.first + i];
      minX = std::min(minX, v.x);
      maxX = std::max(maxX, v.x);
      minY = std::min(minY, v.y);
      maxY = std::max(maxY, v.y);
    }
  }
  // Centre points alone in a drawing are all it has: they stay.
  if (minX > maxX) return;
  const double midX = (minX + maxX) / 2, midY = (minY + maxY) / 2;
  for (DxfStagedPolygon& p : data.polygons) {
    if (p.removed || !isCentre(p)) continue;
    if (s.cpMethod != kCentrePointsByFactor) {
      p.removed = true;
      continue;
    }
    const DxfVec& v = data.points[p.first];
    const bool keep = std::fabs(midX - v.x) <= (maxX - minX) * s.cpFactor &&
                      std::fabs(midY - v.y) <= (maxY - minY) * s.cpFactor;
    if (!keep) p.removed = true;
  }
}

// The joining of polygon ends. Every open polygon of two or more points is
// extended at its last point, then at its first, by open polygons of the
// same layer whose first or last point lies within eps on every axis. The
// candidates come from one index of all polygon ends ordered by x, y, z;
// each end knows its place in the index, so a search looks only at the
// neighbouring keys within eps in x (no binary search per end: on 1.1 M
// polygons the searches took 1 s, the neighbour scans take 0.1 s). A
// polygon that grows is moved to the end of the point table once and then
// grows in place, so a chain of k pieces costs its length, not k times it.
class EndJoiner {
 public:
  EndJoiner(tDXFData& data, double eps) : m_data(data), m_eps(eps) {}

  void run() {
    auto& polys = m_data.polygons;
    size_t ends = 0;
    for (const DxfStagedPolygon& p : polys) ends += joinable(p) ? 2 : 0;
    if (ends < 4) return;
    m_keys.reserve(ends);  // one table, not a doubling series of copies
    for (uint32_t i = 0; i < polys.size(); ++i) {
      if (!joinable(polys[i])) continue;
      const DxfStagedPolygon& p = polys[i];
      m_keys.push_back({m_data.points[p.first], 2 * i});
      m_keys.push_back({m_data.points[p.first + p.count - 1], 2 * i + 1});
    }
    if (m_keys.size() < 4) return;
    std::sort(m_keys.begin(), m_keys.end(), [](const Key& a, const Key& b) {
      if (a.p.x != b.p.x) return a.p.x < b.p.x;
      if (a.p.y != b.p.y) return a.p.y < b.p.y;
      if (a.p.z != b.p.z) return a.p.z < b.p.z;
      return a.end < b.end;
    });
    m_owner.resize(polys.size());
    std::iota(m_owner.begin(), m_owner.end(), 0u);
    m_place.assign(2 * polys.size(), 0);
    for (uint32_t k = 0; k < m_keys.size(); ++k) m_place[m_keys[k].end] = k;
    for (uint32_t i = 0; i < polys.size(); ++i) {
      if (!joinable(polys[i])) continue;
      bool joined = extend(i, 2 * i + 1);
      reverse(i);
      joined = extend(i, 2 * i) || joined;
      reverse(i);
      if (joined) {
        DxfStagedPolygon& p = polys[i];
        // The joined polygon lies at the end of the point table.
        p.closed = applyClosureRule(m_data.points, p.first);
        p.count = static_cast<uint32_t>(m_data.points.size() - p.first);
      }
    }
  }

 private:
  struct Key {
    DxfVec p;
    uint32_t end;  // 2 * polygon + (0 first point, 1 last point)
  };

  static bool joinable(const DxfStagedPolygon& p) { return !p.removed && !p.closed && p.count >= 2; }

  uint32_t find(uint32_t i) {
    while (m_owner[i] != i) {
      m_owner[i] = m_owner[m_owner[i]];
      i = m_owner[i];
    }
    return i;
  }

  void reverse(uint32_t i) {
    const DxfStagedPolygon& p = m_data.polygons[i];
    std::reverse(m_data.points.begin() + p.first, m_data.points.begin() + p.first + p.count);
  }

  // Extends polygon i at its last point (its end `end` before the reversal
  // of the second pass) as long as a partner is found.
  bool extend(uint32_t i, uint32_t end) {
    bool joined = false;
    for (;;) {
      const DxfStagedPolygon& a = m_data.polygons[i];
      const DxfVec q = m_data.points[a.first + a.count - 1];
      if (nearlyEqual(m_data.points[a.first], q, kClosureTolerance)) break;  // a ring already
      uint32_t b = 0;
      bool atStart = false;
      if (!findPartner(i, q, m_place[end], b, atStart)) break;
      moveToEnd(i);
      DxfStagedPolygon& pa = m_data.polygons[i];
      DxfStagedPolygon& pb = m_data.polygons[b];
      const size_t old = m_data.points.size();
      m_data.points.resize(old + pb.count - 1);
      DxfVec* out = m_data.points.data() + old;
      const DxfVec* src = m_data.points.data() + pb.first;
      if (atStart)
        for (uint32_t k = 1; k < pb.count; ++k) *out++ = src[k];
      else
        for (uint32_t k = pb.count - 1; k-- > 0;) *out++ = src[k];
      pa.count += pb.count - 1;
      pb.removed = true;
      m_owner[b] = i;
      // The new last point is the far end of b: its key place goes along.
      m_place[end] = m_place[2 * b + (atStart ? 1 : 0)];
      joined = true;
    }
    return joined;
  }

  void moveToEnd(uint32_t i) {
    DxfStagedPolygon& p = m_data.polygons[i];
    if (p.first + p.count == m_data.points.size()) return;
    const size_t old = m_data.points.size();
    m_data.points.resize(old + p.count);
    std::copy_n(m_data.points.begin() + p.first, p.count, m_data.points.begin() + static_cast<ptrdiff_t>(old));
    p.first = static_cast<uint32_t>(old);
  }

  // The first key in key order within eps of q that is an end of another
  // open polygon of the same layer.
  bool findPartner(uint32_t self, const DxfVec& q, uint32_t place, uint32_t& partner, bool& atStart) {
    const uint16_t layer = m_data.polygons[self].layer;
    size_t k = place;
    while (k > 0 && m_keys[k - 1].p.x >= q.x - m_eps) --k;
    for (; k < m_keys.size() && m_keys[k].p.x <= q.x + m_eps; ++k) {
      const Key& key = m_keys[k];
      if (key.p.x < q.x - m_eps || std::fabs(key.p.y - q.y) > m_eps || std::fabs(key.p.z - q.z) > m_eps) continue;
      const uint32_t b = find(key.end / 2);
      if (b == self) continue;
      const DxfStagedPolygon& p = m_data.polygons[b];
      if (!joinable(p) || p.layer != layer) continue;
      // The key may be stale (its polygon grew); the ends decide.
      if (nearlyEqual(m_data.points[p.first], q, m_eps)) {
        atStart = true;
      } else if (nearlyEqual(m_data.points[p.first + p.count - 1], q, m_eps)) {
        atStart = false;
      } else {
        continue;
      }
      partner = b;
      return true;
    }
    return false;
  }

  tDXFData& m_data;
  double m_eps;
  // Page-backed like the point table: 1 M entities give 2.3 M keys (74 MB).
  std::vector<Key, DxfPageAllocator<Key>> m_keys;
  std::vector<uint32_t, DxfPageAllocator<uint32_t>> m_owner;
  std::vector<uint32_t, DxfPageAllocator<uint32_t>> m_place;  // key index of every polygon's current ends
};

}  // namespace

// --- tDXFData ----------------------------------------------------------------------

tDXFData::tDXFData(const DxfReadSettings& settings)
    : importAllLayers(settings.importAllLayers),
      withoutAssignment(settings.withoutAssignment),
      keepPrefix(settings.keepPrefix),
      m_settings(settings) {}

bool tDXFData::AcceptEntity(std::string_view, bool, bool) { return true; }

bool tDXFData::isHiddenLayer(std::string_view upperName) const {
  return std::binary_search(frozenLayers.begin(), frozenLayers.end(), upperName, std::less<>()) ||
         std::binary_search(offLayers.begin(), offLayers.end(), upperName, std::less<>());
}

uint16_t tDXFData::categoryFor(const std::string& name) const {
  auto lookUp = [this](std::string_view n) {
    return m_settings.categoryForName ? m_settings.categoryForName(n) : categoryIdForName(n);
  };
  if (name.size() >= 4 && upper(name[0]) == 'V' && upper(name[1]) == 'L' && name[2] == '_')
    return lookUp(keepPrefix ? std::string_view(name) : std::string_view(name).substr(3));
  // "0" and the plan layer "VL" itself carry no category.
  if (importAllLayers && !withoutAssignment && name != "0" && upperCase(name) != "VL") return lookUp(name);
  return 0;
}

uint16_t tDXFData::GetLayer(std::string_view name, int kind) {
  if (name.empty()) throw makeError(ErrorCode::DxfNameMissing);
  if (importAllLayers && !withoutAssignment && !keepPrefix && name == "0") name = "VL";
  for (size_t i = 0; i < layers.size(); ++i)
    if (layers[i].name == name) return static_cast<uint16_t>(i);
  if (layers.size() >= kMaxDxfLayers) throw makeError(ErrorCode::DxfTooManyLayers);
  DxfLayer layer;
  layer.name = std::string(name);
  layer.kind = kind;
  layer.category = categoryFor(layer.name);
  layers.push_back(std::move(layer));
  return static_cast<uint16_t>(layers.size() - 1);
}

bool tDXFInFileData::AcceptEntity(std::string_view layer, bool invisible, bool paperSpace) {
  if (paperSpace || invisible) return false;
  if (importAllLayers) return true;
  // "VL", "vl" and "VL_..." are plan layers; "VLX" is not.
  if (layer.size() >= 2 && upper(layer[0]) == 'V' && upper(layer[1]) == 'L' &&
      (layer.size() == 2 || layer[2] == '_'))
    return true;
  layerSkipped = true;
  return false;
}

// --- reading -----------------------------------------------------------------------

void readDxfSections(DxfGroupReader& r, tDXFData& data, const DxfReadSettings& settings, Ui& ui) {
  DxfEntityReader entities(r, data, settings, ui);
  for (;;) {
    if (r.ReadCode() != 0) continue;
    const std::string_view v = trimmed(r.rawValue());
    if (v == "EOF") return;  // whatever follows is not read
    if (v != "SECTION") continue;
    if (readCodeSkippingComments(r) != 2) r.fail(ErrorCode::DxfInvalidStructure);
    const std::string section(trimmed(r.rawValue()));
    if (section == "HEADER") {
      readHeader(r, data);
    } else if (section == "TABLES") {
      readTables(r, data);
    } else if (section == "CLASSES") {
      data.classes.clear();
      if (settings.importProxyAnchorPoints)
        readClasses(r, data);
      else
        skipSection(r);
    } else if (section == "BLOCKS") {
      readDxfBlocks(r, data, settings, ui);
    } else if (section == "ENTITIES") {
      entities.readEntities();
      finishDxfInserts(data, settings, ui);
    } else {
      skipSection(r);  // BLOCKS, OBJECTS, THUMBNAILIMAGE, ACDSDATA ...
    }
  }
}

void postProcessDxf(tDXFData& data, const DxfReadSettings& settings) {
  filterCentrePoints(data, settings);
  EndJoiner(data, settings.epsilon / settings.scale).run();
}

// The one place that creates and fills the layout, through the shared
// builder (batched commit, delete on failure, final number check).
BlockId commitDxfPlan(BlockId parent, std::string_view name, tDXFData& data, bool acceptDuplicateIds) {
  LayoutBuilder builder(parent, name);
  // firstNeeded[i]: the lowest staged point that polygon i or a later one
  // still needs; every point below it can go once polygon i is reached.
  // Polygons lie in the point table in their order, joined ones at its
  // end, so this frees the table from its start as the commit goes on.
  const size_t polygons = data.polygons.size();
  std::vector<uint32_t> firstNeeded(polygons + 1, static_cast<uint32_t>(data.points.size()));
  for (size_t i = polygons; i-- > 0;) {
    const DxfStagedPolygon& p = data.polygons[i];
    firstNeeded[i] = p.removed || p.count == 0 ? firstNeeded[i + 1] : std::min(firstNeeded[i + 1], p.first);
  }
  // Released in whole huge pages of the table (it is 2 MiB aligned), so
  // no page is split and none is left behind between two batches.
  char* const table = reinterpret_cast<char*>(data.points.data());
  size_t released = 0;  // bytes
  for (size_t i = 0; i < polygons; ++i) {
    const DxfStagedPolygon& p = data.polygons[i];
    if (p.removed || p.count == 0) continue;
    const uint16_t category = data.layers.empty() ? 0 : data.layers[p.layer].category;
    // A polygon beyond what one record holds becomes pieces that share
    // their end points; a closed one ends its last piece at its start.
    const bool split = p.count > kMaxPolygonPoints;
    const uint32_t total = p.count + (split && p.closed ? 1 : 0);
    uint32_t start = 0;
    for (;;) {
      const uint32_t n = std::min<uint32_t>(total - start, kMaxPolygonPoints);
      StagedPolygon& sp = builder.startPolygon();
      if (builder.stagedPoints() == 0) {
        // The builder has just handed a batch to the store (or starts):
        // the points before this polygon's are not read again.
        const size_t upTo = firstNeeded[i] * sizeof(DxfVec) / kDxfHugePage * kDxfHugePage;
        if (upTo > released) {
          dxfReleasePages(table + released, upTo - released);
          released = upTo;
        }
      }
      if (category != 0) sp.categories.push_back(category);
      sp.closed = p.closed && !split;
      sp.points.reserve(n);
      for (uint32_t k = 0; k < n; ++k) {
        const uint32_t index = start + k < p.count ? start + k : 0;
        const DxfVec& v = data.points[p.first + index];
        StagedPoint& point = builder.addPoint(v.x, v.y, v.z);
        if (!data.pointNumbers.empty()) {
          point.sourceNumber = data.pointNumbers[p.first + index];
          point.name = data.pointNames[p.first + index];
        }
      }
      if (p.extra >= 0) {
        const DxfPointExtra& extra = data.extras[static_cast<size_t>(p.extra)];
        sp.points[0].categories.push_back(extra.category);
        sp.points[0].comment = extra.comment;
      }
      if (start + n >= total) break;
      start += n - 1;
    }
  }
  // Nothing of a failed drawing stays in the store: the builder deletes the
  // layout unless this succeeds.
  return builder.finish(acceptDuplicateIds);
}

BlockId readDxfInput(DxfGroupReader& reader, BlockId parent, std::string_view name, const DxfReadSettings& settings,
                     Ui& ui) {
  tDXFInFileData data(settings);
  // Address space for a point per 16 bytes of drawing and a polygon per 128:
  // pages are only taken as the tables fill, and the tables rarely have to
  // move (a move copies them and briefly needs both copies).
  data.points.reserve(static_cast<size_t>(reader.size() / 16));
  data.polygons.reserve(static_cast<size_t>(reader.size() / 128));
  const uint64_t kib = reader.size() / 1024 + 1;
  const uint32_t total = static_cast<uint32_t>(std::min<uint64_t>(kib, UINT32_MAX));
  ui.beginPhase(100, total);
  readDxfSections(reader, data, settings, ui);
  // The drawing's pages are not read again: gone before the store grows.
  reader.releaseInput();
  ui.update(total);
  if (data.polygons.empty() && data.layerSkipped) {
    ui.endPhase();
    return 0;
  }
  postProcessDxf(data, settings);
  // Points no text labels keep number 0: the check's -907 is expected then.
  if (settings.pidImport) importDxfPointIds(data, settings, ui);
  const BlockId layout = commitDxfPlan(parent, name, data, settings.acceptDuplicateIds || settings.pidImport);
  ui.endPhase();
  return layout;
}

BlockId readDxfFile(const std::filesystem::path& file, BlockId parent, const DxfReadSettings& settings, Ui& ui) {
  DxfGroupReader reader(file);
  return readDxfInput(reader, parent, file.stem().string(), settings, ui);
}

void readDxf(const std::filesystem::path& file, BlockId parent, ConversionContext& context) {
  DxfOptions& options = context.options.dxf;
  DxfReadSettings settings;
  settings.approx = options.approx;
  settings.epsilon = options.epsilon;
  // Tolerances are in metres of the output: divided by the scale's size.
  settings.scale = std::fabs(options.inScaleFactor) > 0 ? std::fabs(options.inScaleFactor) : 1.0;
  settings.cpMethod = options.cpMethod;
  settings.cpFactor = options.cpFactor;
  settings.importAllLayers = options.importAllLayers;
  settings.withoutAssignment = options.importAllLayersWithoutAssignment;
  settings.keepPrefix = options.keepVlPrefix;
  settings.importProxyAnchorPoints = options.importProxyAnchorPoints;
  settings.acceptDuplicateIds = context.acceptDuplicateIds;
  settings.importBlocks = options.importBlocks;
  settings.blockAnchorPoints = options.importBlocksAnchorPoints;
  settings.pidImport = options.pidImport;
  settings.pidSource = options.pidImportSource;
  settings.pidEpsilon = options.pidImportEpsilon / settings.scale;
  settings.pidIgnoreZ = options.pidImportIgnoreZ;
  settings.pidLayer = options.pidImportLayer;
  settings.pidAttribute = options.pidBlockAttribute;
  settings.pidTextNumber = options.pidBlockTextNumber;
  settings.pidLineNumber = options.pidLineNumber;
  settings.pidAlphaNum = options.inAlphaNumIds;
  if (readDxfFile(file, parent, settings, context.ui) != 0) return;
  // Nothing on plan layers, but other layers hold data. Under -nodialog no
  // question is shown and the answer is none: the file yields no layout.
  // When nobody can be asked (no terminal), reading every layer is the
  // answer that loses nothing.
  if (context.ui.messageBox(text(90), nullptr, text(0), Ui::Buttons::YesNo, Ui::Icon::Question,
                            Ui::Answer::Yes) != Ui::Answer::Yes)
    return;
  // For the rest of this run, so further files of a folder read the same.
  options.importAllLayers = true;
  options.importAllLayersWithoutAssignment = true;
  settings.importAllLayers = true;
  settings.withoutAssignment = true;
  readDxfFile(file, parent, settings, context.ui);
}

}  // namespace vltrx
