// Blocks, inserts, texts and proxy anchors of the DXF reader.
//
// A block definition is read like the ENTITIES section, into a data object
// of its own that starts with a copy of the drawing's layer table; its
// layers go back into the drawing's table at ENDBLK. Inserts are only
// recorded while the entities are read; after ENTITIES each insert either
// copies its block's contents, transformed, into the plan (nested blocks
// first, each block expanded once and kept) or adds its insertion point.
//
// The insert transformation, in this order: subtract the block's base
// point, scale by (41, 42, 43), rotate about z by 50, add the insertion
// point (10, 20, 30), then go from the object coordinates of the extrusion
// (210, 220, 230) to world coordinates. The insertion point is in object
// coordinates, as CAD programs write it; for the usual extrusion (0, 0, 1)
// both are the same. Columns and rows (70, 71, 44, 45) are read but place
// the block once.
#include "formats/dxf/DxfBlocks.h"

#include "core/CError.h"
#include "core/MessageTable.h"
#include "formats/dxf/DxfEntities.h"
#include "formats/dxf/DxfGroupReader.h"
#include "formats/dxf/DxfReader.h"
#include "ui/Ui.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace vltrx {

/// One BLOCK: name (2), base point (10, 20, 30), colour (62), flags (70).
class tDXFBlockData : public tDXFData {
 public:
  using tDXFData::tDXFData;
  std::string name;
  DxfVec base;
  int colour = 0;
  int flags = 0;
};

struct DxfBlockList {
  std::vector<std::unique_ptr<tDXFBlockData>> blocks;
  /// The first definition of each name.
  std::unordered_map<std::string, size_t> byName;

  const tDXFBlockData* find(const std::string& name) const {
    auto it = byName.find(name);
    return it == byName.end() ? nullptr : blocks[it->second].get();
  }
};

const tDXFData* dxfFindBlock(const DxfBlockList& list, const std::string& name) { return list.find(name); }

namespace {

constexpr double kDegrees = 0.017453292519943295769;
// Distance (drawing units) from its block's contents beyond which an
// insertion point is reported once per drawing (text 122).
constexpr int kFarInsertDistance = 1000;

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

// The transformation of one insert.
class InsertTransform {
 public:
  InsertTransform(const DxfInsertRecord& ins, DxfVec base)
      : m_ins(ins), m_base(base), m_ocs(ins.extrusion), m_cos(std::cos(ins.rotation * kDegrees)),
        m_sin(std::sin(ins.rotation * kDegrees)) {
    // Whole quarter turns exactly (cos 90° is 6e-17 otherwise).
    const double q = ins.rotation / 90;
    if (q == std::floor(q)) {
      static constexpr double kCos[] = {1, 0, -1, 0};
      const int k = static_cast<int>(std::fmod(std::fmod(q, 4) + 4, 4));
      m_cos = kCos[k];
      m_sin = kCos[(k + 3) % 4];
    }
  }
  bool valid() const { return m_ocs.valid(); }
  DxfVec operator()(DxfVec p) const {
    const double x = (p.x - m_base.x) * m_ins.scale.x, y = (p.y - m_base.y) * m_ins.scale.y;
    const DxfVec q{x * m_cos - y * m_sin + m_ins.point.x, x * m_sin + y * m_cos + m_ins.point.y,
                   (p.z - m_base.z) * m_ins.scale.z + m_ins.point.z};
    return m_ocs.toWorld(q);
  }

 private:
  const DxfInsertRecord& m_ins;
  DxfVec m_base;
  DxfOcs m_ocs;
  double m_cos, m_sin;
};

// Expands inserts; each block's contents with its own inserts expanded
// are built once and kept.
class Expander {
 public:
  Expander(const DxfBlockList& list, const DxfReadSettings& settings, Ui& ui)
      : m_list(list), m_settings(settings), m_ui(ui), m_state(list.blocks.size(), 0), m_work(list.blocks.size()) {}

  // Block data with the nested inserts expanded; null for a block being
  // expanded (a cycle) or one too deep.
  const tDXFData* expanded(const tDXFBlockData& block, int depth) {
    const size_t i = indexOf(block);
    if (m_state[i] == 2) return m_work[i] ? m_work[i].get() : &block;
    if (m_state[i] == 1 || depth > kMaxDxfBlockDepth) return nullptr;
    if (block.inserts.empty()) {
      m_state[i] = 2;
      return &block;
    }
    m_state[i] = 1;
    auto work = std::make_unique<tDXFData>(m_settings);
    work->layers = block.layers;
    work->points.assign(block.points.begin(), block.points.end());
    work->polygons = block.polygons;
    work->extras = block.extras;
    work->texts = block.texts;
    for (const DxfInsertRecord& ins : block.inserts) expandInto(*work, ins, depth + 1);
    m_work[i] = std::move(work);
    m_state[i] = 2;
    return m_work[i].get();
  }

  // Copies the contents of the insert's block into target.
  void expandInto(tDXFData& target, const DxfInsertRecord& ins, int depth) {
    const tDXFBlockData* block = m_list.find(ins.block);
    if (block == nullptr) return;
    const tDXFData* src = expanded(*block, depth);
    if (src == nullptr) return;
    m_added += src->points.size();
    if (m_added > kMaxDxfExpandedPoints) throw makeError(ErrorCode::StorageExceeded);
    const InsertTransform t(ins, block->base);
    if (!t.valid()) warnOcs();
    // Layers are registered in the target only when used; "0" becomes the
    // insert's layer.
    std::vector<int> map(src->layers.size(), -1);
    auto layerOf = [&](uint16_t l) -> uint16_t {
      if (map[l] < 0) {
        const DxfLayer& layer = src->layers[l];
        map[l] = layer.name == "0" ? target.GetLayer(ins.layer, 7) : target.GetLayer(layer.name, layer.kind);
      }
      return static_cast<uint16_t>(map[l]);
    };
    for (const DxfStagedPolygon& p : src->polygons) {
      if (p.removed || p.count == 0) continue;
      DxfStagedPolygon q = p;
      q.first = static_cast<uint32_t>(target.points.size());
      q.layer = layerOf(p.layer);
      for (uint32_t k = 0; k < p.count; ++k) target.points.push_back(t(src->points[p.first + k]));
      if (p.extra >= 0) {
        q.extra = static_cast<int32_t>(target.extras.size());
        target.extras.push_back(src->extras[static_cast<size_t>(p.extra)]);
      }
      target.polygons.push_back(q);
    }
    for (const DxfTextRecord& text : src->texts) {
      DxfTextRecord& copy = target.texts.emplace_back(text);
      copy.position = t(text.position);
      if (copy.layer == "0") copy.layer = ins.layer;
    }
    // The insert's own attributes already stand where the insert lives.
    for (const DxfTextRecord& a : ins.attributes) target.texts.push_back(a);
  }

  void warnOcs() {
    if (m_warnedOcs) return;
    m_warnedOcs = true;
    m_ui.warningDialog(118, text(118));
  }

 private:
  size_t indexOf(const tDXFBlockData& block) const {
    return m_list.byName.at(block.name);
  }

  const DxfBlockList& m_list;
  const DxfReadSettings& m_settings;
  Ui& m_ui;
  std::vector<char> m_state;  // 0 not yet, 1 being expanded, 2 done
  std::vector<std::unique_ptr<tDXFData>> m_work;
  size_t m_added = 0;
  bool m_warnedOcs = false;
};

// The box of the points of data; false when it has none.
bool boxOf(const tDXFData& data, DxfVec& lo, DxfVec& hi) {
  if (data.points.empty()) return false;
  lo = hi = data.points[0];
  for (const DxfVec& v : data.points) {
    lo = {std::min(lo.x, v.x), std::min(lo.y, v.y), std::min(lo.z, v.z)};
    hi = {std::max(hi.x, v.x), std::max(hi.y, v.y), std::max(hi.z, v.z)};
  }
  return true;
}

}  // namespace

// --- BLOCKS section ------------------------------------------------------------------

void readDxfBlocks(DxfGroupReader& r, tDXFData& file, const DxfReadSettings& settings, Ui& ui) {
  if (!file.blocks) file.blocks = std::make_shared<DxfBlockList>();
  DxfBlockList& list = *file.blocks;
  for (;;) {
    if (r.ReadCode() != 0) continue;
    const std::string_view v = trimmed(r.rawValue());
    if (v == "ENDSEC") return;
    if (v == "EOF") {
      r.PushBack();
      return;
    }
    if (v != "BLOCK") continue;
    auto block = std::make_unique<tDXFBlockData>(settings);
    if (file.layers.size() > kMaxDxfLayers) r.fail(ErrorCode::DxfTooManyLayers);
    block->layers = file.layers;
    block->frozenLayers = file.frozenLayers;
    block->offLayers = file.offLayers;
    block->classes = file.classes;
    block->importAllLayers = file.importAllLayers;
    block->withoutAssignment = file.withoutAssignment;
    block->keepPrefix = file.keepPrefix;
    while (r.ReadCode() != 0) {
      switch (r.code()) {
        case 2: block->name = r.ValueString(); break;
        case 10: block->base.x = r.ValueDouble(); break;
        case 20: block->base.y = r.ValueDouble(); break;
        case 30: block->base.z = r.ValueDouble(); break;
        case 62: block->colour = r.ValueInt(); break;
        case 70: block->flags = r.ValueInt(); break;
        default: break;
      }
    }
    r.PushBack();
    DxfEntityReader entities(r, *block, settings, ui);
    if (block->name.size() > 1 && block->name[0] == '*') {
      // Model and paper space and other anonymous blocks: skipped whole.
      for (;;) {
        if (r.ReadCode() != 0) continue;
        const std::string_view e = trimmed(r.rawValue());
        if (e == "ENDBLK") break;
        if (e == "ENDSEC" || e == "EOF") {
          r.PushBack();
          break;
        }
      }
      continue;
    }
    entities.readEntitiesUpTo("ENDBLK");
    for (const DxfLayer& layer : block->layers) {
      try {
        file.GetLayer(layer.name, layer.kind);
      } catch (const CError& e) {
        throw r.error(static_cast<ErrorCode>(e.code()));
      }
    }
    // The first definition of a name is the one inserts find.
    if (list.byName.emplace(block->name, list.blocks.size()).second) list.blocks.push_back(std::move(block));
  }
}

// --- after ENTITIES ------------------------------------------------------------------

void finishDxfInserts(tDXFData& file, const DxfReadSettings& settings, Ui& ui) {
  if (!settings.importBlocks || file.inserts.empty()) return;
  static const DxfBlockList kNoBlocks;
  const DxfBlockList& list = file.blocks ? *file.blocks : kNoBlocks;
  Expander expander(list, settings, ui);
  if (!settings.blockAnchorPoints) {
    for (const DxfInsertRecord& ins : file.inserts)
      if (ins.accepted) expander.expandInto(file, ins, 0);
    return;
  }
  bool warned = false;
  struct Box {
    bool any;
    DxfVec lo, hi;
  };
  std::unordered_map<const tDXFData*, Box> boxes;  // of each block's placed contents
  for (const DxfInsertRecord& ins : file.inserts) {
    if (!ins.accepted) continue;
    const tDXFBlockData* block = list.find(ins.block);
    if (block == nullptr) continue;
    const InsertTransform t(ins, block->base);
    if (!t.valid()) expander.warnOcs();
    const DxfVec p = t(block->base);
    if (!warned) {
      const tDXFData* contents = expander.expanded(*block, 0);
      auto it = contents ? boxes.find(contents) : boxes.end();
      if (contents != nullptr && it == boxes.end()) {
        Box b{};
        b.any = boxOf(*contents, b.lo, b.hi);
        it = boxes.emplace(contents, b).first;
      }
      if (contents != nullptr && it->second.any) {
        const DxfVec lo = it->second.lo, hi = it->second.hi;
        // The block's box in world coordinates: its corners transformed.
        DxfVec wlo{INFINITY, INFINITY, INFINITY}, whi{-INFINITY, -INFINITY, -INFINITY};
        for (int c = 0; c < 8; ++c) {
          const DxfVec v = t({c & 1 ? hi.x : lo.x, c & 2 ? hi.y : lo.y, c & 4 ? hi.z : lo.z});
          wlo = {std::min(wlo.x, v.x), std::min(wlo.y, v.y), std::min(wlo.z, v.z)};
          whi = {std::max(whi.x, v.x), std::max(whi.y, v.y), std::max(whi.z, v.z)};
        }
        const double d = kFarInsertDistance;
        if (p.x < wlo.x - d || p.x > whi.x + d || p.y < wlo.y - d || p.y > whi.y + d || p.z < wlo.z - d ||
            p.z > whi.z + d) {
          warned = true;
          std::string message = text(122);
          const size_t at = message.find("%i");
          if (at != std::string::npos) message.replace(at, 2, std::to_string(kFarInsertDistance));
          ui.warningDialog(122, message);
        }
      }
    }
    // The bare plan layer "VL" takes no anchors unless all layers are read.
    if (!file.importAllLayers && ins.layer.size() < 4) {
      file.layerSkipped = true;
      continue;
    }
    DxfStagedPolygon polygon;
    polygon.first = static_cast<uint32_t>(file.points.size());
    polygon.count = 1;
    polygon.layer = file.GetLayer(ins.layer, 7);
    file.points.push_back(p);
    file.polygons.push_back(polygon);
  }
}

// --- entity parsers --------------------------------------------------------------------

namespace {

// The position a TEXT or ATTRIB stands for: its alignment point (11, 21,
// 31) when it is justified (72 or 73 not 0) and has one, else its
// insertion point; both in object coordinates.
struct TextPoints {
  DxfVec insertion, alignment;
  bool hasAlignment = false;
  int h = 0, v = 0;
  DxfVec pick() const { return (h != 0 || v != 0) && hasAlignment ? alignment : insertion; }
  bool read(DxfGroupReader& r) {
    switch (r.code()) {
      case 10: insertion.x = r.ValueDouble(); return true;
      case 20: insertion.y = r.ValueDouble(); return true;
      case 30: insertion.z = r.ValueDouble(); return true;
      case 11: alignment.x = r.ValueDouble(); hasAlignment = true; return true;
      case 21: alignment.y = r.ValueDouble(); return true;
      case 31: alignment.z = r.ValueDouble(); return true;
      case 72: h = r.ValueInt(); return true;
      case 73: v = r.ValueInt(); return true;
      default: return false;
    }
  }
};

}  // namespace

void DxfEntityReader::readInsert() {
  beginEntity();
  DxfInsertRecord ins;
  bool attributesFollow = false;
  while (next()) {
    switch (m_r.code()) {
      case 2: ins.block = m_r.ValueString(); break;
      case 10: ins.point.x = m_r.ValueDouble(); break;
      case 20: ins.point.y = m_r.ValueDouble(); break;
      case 30: ins.point.z = m_r.ValueDouble(); break;
      case 41: ins.scale.x = m_r.ValueDouble(); break;
      case 42: ins.scale.y = m_r.ValueDouble(); break;
      case 43: ins.scale.z = m_r.ValueDouble(); break;
      case 44: ins.columnSpacing = m_r.ValueDouble(); break;
      case 45: ins.rowSpacing = m_r.ValueDouble(); break;
      case 50: ins.rotation = m_r.ValueDouble(); break;
      case 66: attributesFollow = m_r.ValueInt() == 1; break;
      case 70: ins.columns = m_r.ValueInt(); break;
      case 71: ins.rows = m_r.ValueInt(); break;
      default: common(); break;
    }
  }
  if (ins.scale.x == 0 || ins.scale.y == 0 || ins.scale.z == 0) failEntity(ErrorCode::DxfInvalidInsertScale);
  ins.extrusion = m_extrusion;
  const bool hidden = m_hidden;
  ins.accepted = accept();
  const bool keep = !hidden && !m_paper && !m_invisible && m_layer >= 0;
  if (keep) ins.layer = m_data.layers[static_cast<size_t>(m_layer)].name;
  // The ATTRIB entities up to SEQEND.
  while (attributesFollow) {
    if (m_r.ReadCode() != 0) continue;
    const std::string_view name = trimmed(m_r.rawValue());
    if (name == "SEQEND") {
      skipEntity();
      break;
    }
    if (name != "ATTRIB") {
      m_r.PushBack();
      break;
    }
    DxfTextRecord a;
    TextPoints at;
    DxfVec extrusion{0, 0, 1};
    while (m_r.ReadCode() != 0) {
      if (at.read(m_r)) continue;
      switch (m_r.code()) {
        case 1: a.lines.assign(1, m_r.ValueString()); break;
        case 2: a.tag = m_r.ValueString(); break;
        case 8: a.layer = m_r.ValueString(); break;
        case 70: m_r.ValueInt(); break;
        case 71: m_r.ValueInt(); break;
        case 210: extrusion.x = m_r.ValueDouble(); break;
        case 220: extrusion.y = m_r.ValueDouble(); break;
        case 230: extrusion.z = m_r.ValueDouble(); break;
        default: break;
      }
    }
    m_r.PushBack();
    if (a.layer.empty()) a.layer = "0";
    if (a.lines.empty()) a.lines.emplace_back();
    DxfOcs o(extrusion);
    a.position = o.toWorld(at.pick());
    if (keep) ins.attributes.push_back(std::move(a));
  }
  if (keep) m_data.inserts.push_back(std::move(ins));
}

// Texts are kept on any layer (the point-id import selects them by layer):
// the layer is resolved as for any entity, without counting it as skipped.
bool DxfEntityReader::resolveTextLayer() {
  const bool skipped = m_data.layerSkipped;
  accept();
  m_data.layerSkipped = skipped;
  return m_layer >= 0 && !m_hidden;
}

void DxfEntityReader::readText() {
  beginEntity();
  DxfTextRecord t;
  TextPoints at;
  while (next()) {
    if (at.read(m_r)) continue;
    if (m_r.code() == 1)
      t.lines.assign(1, m_r.ValueString());
    else
      common();
  }
  if (m_hidden || m_paper || !resolveTextLayer()) return;
  if (t.lines.empty()) return;
  t.layer = m_data.layers[static_cast<size_t>(m_layer)].name;
  t.position = ocs().toWorld(at.pick());
  m_data.texts.push_back(std::move(t));
}

void DxfEntityReader::readMtext() {
  beginEntity();
  std::string value;
  DxfVec p;
  while (next()) {
    switch (m_r.code()) {
      case 1:
      case 3: value += m_r.ValueString(); break;  // 3: the chunks before 1
      case 10: p.x = m_r.ValueDouble(); break;    // world coordinates
      case 20: p.y = m_r.ValueDouble(); break;
      case 30: p.z = m_r.ValueDouble(); break;
      default: common(); break;
    }
  }
  if (m_hidden || m_paper || !resolveTextLayer()) return;
  DxfTextRecord t;
  t.lines = splitMtext(value);
  t.layer = m_data.layers[static_cast<size_t>(m_layer)].name;
  t.position = p;
  m_data.texts.push_back(std::move(t));
}

void DxfEntityReader::readProxy() {
  beginEntity();
  DxfVec p;
  int coordinates = 0;
  bool graphics = false;
  while (next()) {
    switch (m_r.code()) {
      case 10: p.x = m_r.ValueDouble(); ++coordinates; break;
      case 20: p.y = m_r.ValueDouble(); ++coordinates; break;
      case 30: p.z = m_r.ValueDouble(); ++coordinates; break;
      case 310: graphics = true; break;
      default: common(); break;
    }
  }
  if (coordinates < 3 || !graphics) return;
  if (accept()) addSinglePoint(p, 0, 0);
}

}  // namespace vltrx
