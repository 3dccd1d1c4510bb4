// The point-id import of the DXF reader: texts near the staged points
// become their point numbers.
//
// Matching: the staged points are ordered by x, y, z (their key order).
// Each text looks at the points of the 3 x 3 cells of a grid of cell size
// epsilon around it (a sorted table, no hashing), so a text costs the few
// points near it however the drawing is laid out; among those the nearest
// wins, an equally near one (within 1e-12 of the squared distance) only
// when it comes first in key order. A point already labelled keeps the
// nearer text; a text it gives up searches again from the end of the list.
#include "formats/dxf/DxfBlocks.h"

#include "core/PointNumberer.h"
#include "formats/dxf/DxfReader.h"
#include "framework/DxfOptions.h"
#include "ui/RenumberPrompt.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <unordered_map>

namespace vltrx {
namespace {

constexpr double kTieTolerance = 1e-12;

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (upper(a[i]) != upper(b[i])) return false;
  return true;
}

std::string_view trimmedBoth(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool digitsOnly(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

struct IdText {
  std::string text;
  DxfVec p;
};

struct Key {
  DxfVec p;
  uint32_t point;  // index into the point table
  uint16_t layer;
};

struct Cell {
  int64_t cx, cy;
  uint32_t key;  // index into the key order
  bool operator<(const Cell& o) const {
    if (cx != o.cx) return cx < o.cx;
    if (cy != o.cy) return cy < o.cy;
    return key < o.key;
  }
};

int64_t cellOf(double v, double size) {
  const double c = std::floor(v / size);
  // Beyond this no two cells of one drawing are neighbours in practice.
  return static_cast<int64_t>(std::clamp(c, -4.0e18, 4.0e18));
}

}  // namespace

// MTEXT: "\P" ends a paragraph and so a line, as does a line feed; "\~" is
// a space, "\\", "\{", "\}" stand for themselves; "\S top^bottom;" (also
// with "/" or "#") becomes "top/bottom"; the codes with a value ("\A1;",
// "\H2.5;", "\C1;", "\f...;", "\F...;", "\Q..;", "\T..;", "\W..;" and the
// like) are removed up to their ";"; "\L \l \O \o \K \k \N" and the braces
// of groups are removed. "\U+xxxx" is decoded as the value is read.
std::vector<std::string> splitMtext(std::string_view v) {
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < v.size(); ++i) {
    const char c = v[i];
    if (c == '{' || c == '}') continue;
    if (c == '\n') {
      lines.emplace_back();
      continue;
    }
    if (c != '\\' || i + 1 == v.size()) {
      lines.back() += c;
      continue;
    }
    const char code = v[++i];
    switch (code) {
      case 'P': lines.emplace_back(); break;
      case '~': lines.back() += ' '; break;
      case '\\':
      case '{':
      case '}': lines.back() += code; break;
      case 'L': case 'l': case 'O': case 'o': case 'K': case 'k': case 'N': break;
      case 'S': {
        const size_t end = v.find(';', i + 1);
        std::string_view stack = v.substr(i + 1, end == std::string_view::npos ? std::string_view::npos : end - i - 1);
        for (char s : stack) lines.back() += (s == '^' || s == '#') ? '/' : s;
        i = end == std::string_view::npos ? v.size() : end;
        break;
      }
      default: {
        // A code with a value up to ';' (an unknown letter too).
        const size_t end = v.find(';', i + 1);
        i = end == std::string_view::npos ? v.size() : end;
        break;
      }
    }
  }
  for (std::string& line : lines) line = std::string(trimmedBoth(line));
  return lines;
}

void importDxfPointIds(tDXFData& file, const DxfReadSettings& s, Ui& ui) {
  const std::string layerSelector = s.pidLayer.empty() ? std::string("VL_PID") : s.pidLayer;
  const bool planOnly = layerSelector == "&";
  // Plan-data layers: those AcceptEntity takes (asked without its note of
  // skipped layers).
  std::unordered_map<std::string, bool> planCache;
  auto isPlanLayer = [&](const std::string& name) {
    auto it = planCache.find(name);
    if (it != planCache.end()) return it->second;
    const bool skipped = file.layerSkipped;
    const bool plan = file.AcceptEntity(name, false, false);
    file.layerSkipped = skipped;
    return planCache.emplace(name, plan).first->second;
  };
  auto usable = [&](const std::string& raw, std::string& out) {
    const std::string_view t = trimmedBoth(raw);
    // A text that is not a number cannot be a point number: skipped.
    if (t.empty() || (!s.pidAlphaNum && !digitsOnly(t))) return false;
    out = std::string(t);
    return true;
  };

  // 1. The id texts in selection order.
  std::deque<IdText> work;
  const size_t line = static_cast<size_t>(std::max(s.pidLineNumber, 1)) - 1;
  if (s.pidSource == kPidFromTexts) {
    for (const DxfTextRecord& t : file.texts) {
      if (layerSelector != "*" && !(planOnly ? isPlanLayer(t.layer) : equalsIgnoreCase(t.layer, layerSelector)))
        continue;
      IdText id;
      if (line < t.lines.size() && usable(t.lines[line], id.text)) {
        id.p = t.position;
        work.push_back(std::move(id));
      }
    }
  } else {
    const DxfBlockList* list = file.blocks.get();
    for (const DxfInsertRecord& ins : file.inserts) {
      // The insertion point in world coordinates.
      const DxfVec at = DxfOcs(ins.extrusion).toWorld(ins.point);
      if (s.pidSource == kPidFromBlockTexts) {
        const tDXFData* block = list ? dxfFindBlock(*list, ins.block) : nullptr;
        const size_t n = static_cast<size_t>(std::max(s.pidTextNumber, 1));
        if (block == nullptr || block->texts.size() < n) continue;
        const DxfTextRecord& t = block->texts[n - 1];
        IdText id;
        if (line < t.lines.size() && usable(t.lines[line], id.text)) {
          id.p = at;
          work.push_back(std::move(id));
        }
      } else {
        for (const DxfTextRecord& a : ins.attributes) {
          IdText id;
          if (equalsIgnoreCase(a.tag, s.pidAttribute) && !a.lines.empty() && usable(a.lines[0], id.text)) {
            id.p = at;
            work.push_back(std::move(id));
          }
        }
      }
    }
  }

  // 2. The staged points in key order, and the grid.
  std::vector<Key> keys;
  for (const DxfStagedPolygon& p : file.polygons) {
    if (p.removed) continue;
    for (uint32_t k = 0; k < p.count; ++k) keys.push_back({file.points[p.first + k], p.first + k, p.layer});
  }
  std::stable_sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
    if (a.p.x != b.p.x) return a.p.x < b.p.x;
    if (a.p.y != b.p.y) return a.p.y < b.p.y;
    return a.p.z < b.p.z;
  });
  const double eps = std::fabs(s.pidEpsilon);
  const double eps2 = eps * eps;
  // Cells no smaller than a micrometre: an epsilon of 0 matches equal
  // positions only, and those share a cell.
  const double cell = std::max(eps, 1e-6);
  std::vector<Cell> cells(keys.size());
  for (uint32_t k = 0; k < keys.size(); ++k) cells[k] = {cellOf(keys[k].p.x, cell), cellOf(keys[k].p.y, cell), k};
  std::sort(cells.begin(), cells.end());
  std::vector<char> planKey;
  if (planOnly) {
    planKey.resize(file.layers.size());
    for (size_t l = 0; l < file.layers.size(); ++l) planKey[l] = isPlanLayer(file.layers[l].name);
  }

  // 3. The matching.
  struct Assignment {
    int64_t text = -1;  // index into texts
    double d2 = 0;
  };
  std::vector<IdText> texts;
  std::vector<Assignment> assigned(keys.size());
  std::vector<uint32_t> candidates;
  while (!work.empty()) {
    IdText t = std::move(work.front());
    work.pop_front();
    candidates.clear();
    const int64_t cx = cellOf(t.p.x, cell), cy = cellOf(t.p.y, cell);
    for (int64_t dx = -1; dx <= 1; ++dx) {
      for (int64_t dy = -1; dy <= 1; ++dy) {
        auto it = std::lower_bound(cells.begin(), cells.end(), Cell{cx + dx, cy + dy, 0});
        for (; it != cells.end() && it->cx == cx + dx && it->cy == cy + dy; ++it) candidates.push_back(it->key);
      }
    }
    std::sort(candidates.begin(), candidates.end());
    int64_t best = -1;
    double bestD2 = 0;
    for (uint32_t k : candidates) {
      const Key& key = keys[k];
      if (std::fabs(key.p.x - t.p.x) > eps) continue;
      if (planOnly && !planKey[key.layer]) continue;
      const double dx = key.p.x - t.p.x, dy = key.p.y - t.p.y, dz = s.pidIgnoreZ ? 0 : key.p.z - t.p.z;
      const double d2 = dx * dx + dy * dy + dz * dz;
      if (best < 0 || d2 < bestD2 - kTieTolerance) {
        best = k;
        bestD2 = d2;
      }
    }
    if (best < 0 || bestD2 > eps2) continue;  // no point near: dropped
    Assignment& a = assigned[static_cast<size_t>(best)];
    if (a.text < 0) {
      a.text = static_cast<int64_t>(texts.size());
      a.d2 = bestD2;
      texts.push_back(std::move(t));
    } else if (a.d2 > bestD2) {
      work.push_back(std::move(texts[static_cast<size_t>(a.text)]));
      texts[static_cast<size_t>(a.text)] = std::move(t);
      a.d2 = bestD2;
    }
  }

  // 4. The numbers, in key order.
  file.pointNumbers.assign(file.points.size(), 0);
  file.pointNames.assign(file.points.size(), std::string());
  PointNumberer numberer(10001, "DXF");
  numberer.setAlphanumeric(s.pidAlphaNum);
  for (size_t k = 0; k < keys.size(); ++k) {
    if (assigned[k].text < 0) continue;
    const std::string& id = texts[static_cast<size_t>(assigned[k].text)].text;
    const PointNumber n = numberPoint(numberer, id, ui);
    file.pointNumbers[keys[k].point] = static_cast<int32_t>(n.number);
    if (s.pidAlphaNum && n.keepName) file.pointNames[keys[k].point] = id;
  }
}

}  // namespace vltrx
