// Entity parsers of the DXF reader.
//
// Each parser collects the pairs of one entity first and decides after the
// last one whether the entity is taken (hidden layers are dropped as soon
// as group 8 names them), so nothing of a rejected entity reaches the plan
// and the points of one polygon stay consecutive in the point table. Centre
// points found while a polygon is built wait in m_pending until the polygon
// is finished.
//
// Coordinates: POINT, LINE, 3DFACE, SPLINE, ELLIPSE and 3D polylines are in
// world coordinates; ARC, CIRCLE, LWPOLYLINE and 2D polylines in the object
// coordinate system of their extrusion direction (210, 220, 230).
#include "formats/dxf/DxfEntities.h"

#include "core/MessageTable.h"
#include "core/Numbers.h"
#include "ui/Ui.h"

#include <algorithm>
#include <cmath>

namespace vltrx {
namespace {

constexpr double kTwoPi = 6.28318530717958647692;
// A sweep of at least this many degrees is a full circle.
constexpr double kFullCircleDegrees = 359.9999999;
// The smallest chord error used, metres.
constexpr double kMinApprox = 0.001;
// Entities between two progress reports.
constexpr uint32_t kProgressEntities = 8192;

// POLYLINE flags (70).
constexpr int kPolylineClosed = 1;
constexpr int kPolyline3d = 8;
constexpr int kPolylineMesh = 16;
constexpr int kPolylinePolyface = 64;
// VERTEX flag (70) of a spline frame control point.
constexpr int kVertexSplineFrame = 16;

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

struct EntityHandler {
  std::string_view name;
  void (DxfEntityReader::*read)();
};

// The entities that add geometry; every other name is skipped whole
// (DIMENSION, HATCH, SOLID, 3DSOLID, IMAGE, MESH ... carry no plan data);
// proxy entities are read when their anchors are asked for.
constexpr EntityHandler kEntityHandlers[] = {
    {"POINT", &DxfEntityReader::readPoint},       {"LINE", &DxfEntityReader::readLine},
    {"LWPOLYLINE", &DxfEntityReader::readLwPolyline}, {"POLYLINE", &DxfEntityReader::readPolyline},
    {"ARC", &DxfEntityReader::readArc},           {"CIRCLE", &DxfEntityReader::readCircle},
    {"ELLIPSE", &DxfEntityReader::readEllipse},   {"SPLINE", &DxfEntityReader::readSpline},
    {"3DFACE", &DxfEntityReader::read3dFace},     {"INSERT", &DxfEntityReader::readInsert},
    {"TEXT", &DxfEntityReader::readText},         {"MTEXT", &DxfEntityReader::readMtext},
};

}  // namespace

DxfEntityReader::DxfEntityReader(DxfGroupReader& reader, tDXFData& data, const DxfReadSettings& settings, Ui& ui)
    : m_r(reader),
      m_data(data),
      m_ui(ui),
      // The command line takes no chord error below 1 mm; a smaller stored
      // value would ask for thousands of points per circle.
      m_tol(std::max(settings.approx, kMinApprox) / settings.scale),
      m_eps(settings.epsilon / settings.scale),
      m_centrePoints(settings.cpMethod != 0),
      m_proxies(settings.importProxyAnchorPoints) {}

void DxfEntityReader::readEntities() { readEntitiesUpTo("ENDSEC"); }

void DxfEntityReader::readEntitiesUpTo(std::string_view end) {
  uint32_t sinceProgress = 0;
  const uint64_t total = m_r.size() / 1024 + 1;
  for (;;) {
    if (m_r.ReadCode() != 0) continue;  // a stray pair between entities
    const std::string_view name = trimmed(m_r.rawValue());
    if (name == end) return;
    if (name == "EOF" || (name == "ENDSEC" && end != "ENDSEC")) {
      m_r.PushBack();
      return;
    }
    void (DxfEntityReader::*read)() = &DxfEntityReader::skipEntity;
    for (const EntityHandler& h : kEntityHandlers)
      if (h.name == name) {
        read = h.read;
        break;
      }
    if (m_proxies && read == &DxfEntityReader::skipEntity &&
        (name == "ACAD_PROXY_ENTITY" || std::find(m_data.classes.begin(), m_data.classes.end(), name) != m_data.classes.end()))
      read = &DxfEntityReader::readProxy;
    (this->*read)();
    if (++sinceProgress == kProgressEntities) {
      sinceProgress = 0;
      m_ui.update(static_cast<uint32_t>(std::min<uint64_t>(m_r.position() / 1024, total)));
    }
  }
}

// --- common properties -----------------------------------------------------------

void DxfEntityReader::beginEntity() {
  m_startLine = m_r.line();
  m_layer = -1;
  m_hidden = false;
  m_invisible = false;
  m_paper = false;
  m_layerSeen = false;
  m_extrusion = {0, 0, 1};
}

bool DxfEntityReader::next() {
  if (m_r.ReadCode() == 0) {
    m_r.PushBack();
    return false;
  }
  if (m_hidden) {
    m_r.SkipToEntityStart();
    m_r.PushBack();
    return false;
  }
  return true;
}

void DxfEntityReader::common() {
  switch (m_r.code()) {
    case 8: {
      const std::string_view raw = m_r.rawValue();
      auto it = m_layerCache.find(raw);
      if (it == m_layerCache.end()) {
        const std::string name = m_r.ValueString();
        if (name.empty()) m_r.fail(ErrorCode::DxfNameMissing);
        m_upper = name;
        for (char& c : m_upper)
          if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        LayerState state;
        state.hidden = m_data.isHiddenLayer(m_upper);
        if (!state.hidden) {
          try {
            state.layer = m_data.GetLayer(name, 7);
          } catch (const CError& e) {
            throw m_r.error(static_cast<ErrorCode>(e.code()));
          }
        }
        it = m_layerCache.emplace(std::string(raw), state).first;
      }
      m_layerSeen = true;
      m_layer = it->second.layer;
      m_hidden = it->second.hidden;
      break;
    }
    case 60:
      m_invisible = m_r.ValueInt() != 0;
      break;
    case 67:
      m_paper = m_r.ValueInt() != 0;
      break;
    case 210:
      m_extrusion.x = m_r.ValueDouble();
      break;
    case 220:
      m_extrusion.y = m_r.ValueDouble();
      break;
    case 230:
      m_extrusion.z = m_r.ValueDouble();
      break;
    default:
      break;
  }
}

bool DxfEntityReader::accept() {
  if (m_hidden) return false;
  if (!m_layerSeen) {
    // No group 8: the entity is on layer "0", as CAD programs read it.
    auto it = m_layerCache.find(std::string_view("0"));
    if (it == m_layerCache.end()) {
      LayerState state;
      state.hidden = m_data.isHiddenLayer("0");
      if (!state.hidden) state.layer = m_data.GetLayer("0", 7);
      it = m_layerCache.emplace("0", state).first;
    }
    m_layer = it->second.layer;
    if (it->second.hidden) return false;
  }
  if (m_layer < 0) return false;
  return m_data.AcceptEntity(m_data.layers[static_cast<size_t>(m_layer)].name, m_invisible, m_paper);
}

DxfOcs DxfEntityReader::ocs() {
  DxfOcs o(m_extrusion);
  if (!o.valid() && !m_warnedOcs) {
    m_warnedOcs = true;
    m_ui.warningDialog(118, text(118));
  }
  return o;
}

// --- staging ---------------------------------------------------------------------

void DxfEntityReader::addPolygon(size_t first, bool closed) {
  const size_t count = m_data.points.size() - first;
  if (count > 0) {
    DxfStagedPolygon polygon;
    polygon.first = static_cast<uint32_t>(first);
    polygon.count = static_cast<uint32_t>(count);
    polygon.layer = layer();
    polygon.closed = closed && count >= 3;
    m_data.polygons.push_back(polygon);
  }
  flushPending();
}

void DxfEntityReader::addSinglePoint(DxfVec p, uint16_t category, double radius) {
  DxfStagedPolygon polygon;
  polygon.first = static_cast<uint32_t>(m_data.points.size());
  polygon.count = 1;
  polygon.layer = layer();
  m_data.points.push_back(p);
  if (category != 0) {
    DxfPointExtra extra;
    extra.category = category;
    if (radius < 0) {
      extra.comment = "EllipseMP";
    } else {
      extra.comment = "R=";
      appendFixed(extra.comment, radius, 3);
      extra.comment += 'm';
    }
    polygon.extra = static_cast<int32_t>(m_data.extras.size());
    m_data.extras.push_back(std::move(extra));
  }
  m_data.polygons.push_back(polygon);
}

void DxfEntityReader::flushPending() {
  for (const PendingPoint& p : m_pending) addSinglePoint(p.p, p.category, p.radius);
  m_pending.clear();
}

void DxfEntityReader::appendArc(DxfVec centre, double r, double a0, double sweep) {
  const DxfOcs o = ocs();
  const int n = arcPointCount(r, sweep, m_tol);
  if (sweep >= kFullCircleDegrees && n <= 3) {
    // A circle too small to draw within the tolerance is one point.
    addSinglePoint(o.toWorld(centre), kCategoryTinyCircle, r);
    return;
  }
  if (m_centrePoints) m_pending.push_back({o.toWorld(centre), kCategoryCentrePoint, r});
  const size_t first = m_data.points.size();
  appendArcPoints(m_data.points, centre, r, a0, sweep, std::max(n, 2));
  o.toWorld(m_data.points, first);
  addPolygon(first, applyClosureRule(m_data.points, first));
}

void DxfEntityReader::buildPolyline(bool closed, const DxfOcs& o) {
  // A vertex equal to the one before adds nothing; its bulge is the bulge
  // of the segment that starts there.
  size_t nv = 0;
  for (size_t i = 0; i < m_vertices.size(); ++i) {
    const Vertex& v = m_vertices[i];
    if (nv > 0) {
      Vertex& last = m_vertices[nv - 1];
      if (v.x == last.x && v.y == last.y && v.z == last.z) {
        last.bulge = v.bulge;
        continue;
      }
    }
    m_vertices[nv++] = v;
  }
  if (nv == 0) return;
  // A closed polyline that repeats its first vertex at the end.
  if (closed && nv >= 2) {
    const Vertex& a = m_vertices[0];
    const Vertex& b = m_vertices[nv - 1];
    if (nearlyEqual({a.x, a.y, a.z}, {b.x, b.y, b.z}, kClosureTolerance)) --nv;
  }
  const size_t first = m_data.points.size();
  for (size_t i = 0; i < nv; ++i) {
    const Vertex& v = m_vertices[i];
    const DxfVec p1{v.x, v.y, v.z};
    m_data.points.push_back(p1);
    if (v.bulge == 0 || nv < 2 || (i + 1 == nv && !closed)) continue;
    const Vertex& w = m_vertices[(i + 1) % nv];
    DxfVec centre;
    double r = 0, a0 = 0, sweep = 0;
    if (!bulgeArc(p1, {w.x, w.y, w.z}, v.bulge, centre, r, a0, sweep)) continue;
    const int n = arcPointCount(r, sweep, m_tol);
    if (n > 2) {
      // The inner points only: both ends are the vertices themselves.
      appendArcPoints(m_data.points, centre, r, a0, sweep, n, 1);
      m_data.points.pop_back();
    }
    if (m_centrePoints) m_pending.push_back({o.toWorld(centre), kCategoryCentrePoint, r});
  }
  if (closed && nv >= 2) m_data.points.push_back({m_vertices[0].x, m_vertices[0].y, m_vertices[0].z});
  o.toWorld(m_data.points, first);
  addPolygon(first, applyClosureRule(m_data.points, first));
}

// --- the parsers -------------------------------------------------------------------

void DxfEntityReader::skipEntity() {
  m_r.SkipToEntityStart();
  m_r.PushBack();
}

void DxfEntityReader::readPoint() {
  beginEntity();
  DxfVec p;
  while (next()) {
    switch (m_r.code()) {
      case 10: p.x = m_r.ValueDouble(); break;
      case 20: p.y = m_r.ValueDouble(); break;
      case 30: p.z = m_r.ValueDouble(); break;
      default: common(); break;
    }
  }
  if (accept()) addSinglePoint(p, 0, 0);
}

void DxfEntityReader::readLine() {
  beginEntity();
  DxfVec a, b;
  while (next()) {
    switch (m_r.code()) {
      case 10: a.x = m_r.ValueDouble(); break;
      case 20: a.y = m_r.ValueDouble(); break;
      case 30: a.z = m_r.ValueDouble(); break;
      case 11: b.x = m_r.ValueDouble(); break;
      case 21: b.y = m_r.ValueDouble(); break;
      case 31: b.z = m_r.ValueDouble(); break;
      default: common(); break;
    }
  }
  if (!accept()) return;
  const size_t first = m_data.points.size();
  m_data.points.push_back(a);
  m_data.points.push_back(b);
  addPolygon(first, applyClosureRule(m_data.points, first));
}

void DxfEntityReader::readLwPolyline() {
  beginEntity();
  m_vertices.clear();
  int flags = 0;
  double elevation = 0;
  // The vertex count (90) is not used to reserve: only the vertices that
  // are present count.
  while (next()) {
    switch (m_r.code()) {
      case 10: m_vertices.push_back({m_r.ValueDouble(), 0, 0, 0}); break;
      case 20:
        if (!m_vertices.empty()) m_vertices.back().y = m_r.ValueDouble();
        break;
      case 42:
        if (!m_vertices.empty()) m_vertices.back().bulge = m_r.ValueDouble();
        break;
      case 38: elevation = m_r.ValueDouble(); break;
      case 70: flags = m_r.ValueInt(); break;
      default: common(); break;
    }
  }
  if (!accept()) return;
  for (Vertex& v : m_vertices) v.z = elevation;
  buildPolyline((flags & kPolylineClosed) != 0, ocs());
}

void DxfEntityReader::readPolyline() {
  beginEntity();
  int flags = 0;
  double elevation = 0;
  while (next()) {
    switch (m_r.code()) {
      case 70: flags = m_r.ValueInt(); break;
      case 30: elevation = m_r.ValueDouble(); break;
      default: common(); break;
    }
  }
  // Meshes and polyface meshes are skipped whole, vertices included.
  const bool taken = accept() && (flags & (kPolylineMesh | kPolylinePolyface)) == 0;
  const bool is3d = (flags & kPolyline3d) != 0;
  m_vertices.clear();
  for (;;) {
    m_r.ReadCode();  // the group-0 pair that ended the previous part
    const std::string_view name = trimmed(m_r.rawValue());
    if (name == "VERTEX") {
      Vertex v{0, 0, 0, 0};
      int vertexFlags = 0;
      while (m_r.ReadCode() != 0) {
        switch (m_r.code()) {
          case 10: v.x = m_r.ValueDouble(); break;
          case 20: v.y = m_r.ValueDouble(); break;
          case 30: v.z = m_r.ValueDouble(); break;
          case 42: v.bulge = m_r.ValueDouble(); break;
          case 70: vertexFlags = m_r.ValueInt(); break;
          default: break;
        }
      }
      m_r.PushBack();
      if (taken && (vertexFlags & kVertexSplineFrame) == 0) m_vertices.push_back(v);
    } else if (name == "SEQEND") {
      skipEntity();
      break;
    } else {
      // No SEQEND: the polyline ends where the next entity begins.
      m_r.PushBack();
      break;
    }
  }
  if (!taken) return;
  if (is3d) {
    for (Vertex& v : m_vertices) v.bulge = 0;
    buildPolyline((flags & kPolylineClosed) != 0, DxfOcs());
    return;
  }
  // A 2D polyline lies in the plane of its elevation (the z of its own
  // point 10, 20, 30); writers repeat it in the vertices or leave them 0.
  for (Vertex& v : m_vertices)
    if (v.z == 0) v.z = elevation;
  buildPolyline((flags & kPolylineClosed) != 0, ocs());
}

void DxfEntityReader::readArc() {
  beginEntity();
  DxfVec c;
  double r = 0, start = 0, end = 0;
  while (next()) {
    switch (m_r.code()) {
      case 10: c.x = m_r.ValueDouble(); break;
      case 20: c.y = m_r.ValueDouble(); break;
      case 30: c.z = m_r.ValueDouble(); break;
      case 40: r = m_r.ValueDouble(); break;
      case 50: start = m_r.ValueDouble(); break;
      case 51: end = m_r.ValueDouble(); break;
      default: common(); break;
    }
  }
  if (!accept() || !(r > 0)) return;
  double sweep = end - start;
  if (sweep < 0) sweep += 360;
  if (sweep < 0 || sweep > 360) sweep = 360;
  appendArc(c, r, start, sweep);
}

void DxfEntityReader::readCircle() {
  beginEntity();
  DxfVec c;
  double r = 0;
  while (next()) {
    switch (m_r.code()) {
      case 10: c.x = m_r.ValueDouble(); break;
      case 20: c.y = m_r.ValueDouble(); break;
      case 30: c.z = m_r.ValueDouble(); break;
      case 40: r = m_r.ValueDouble(); break;
      default: common(); break;
    }
  }
  if (!accept() || !(r > 0)) return;
  appendArc(c, r, 0, 360);
}

void DxfEntityReader::readEllipse() {
  beginEntity();
  DxfVec c, major;
  double ratio = 1, start = 0, end = kTwoPi;
  while (next()) {
    switch (m_r.code()) {
      case 10: c.x = m_r.ValueDouble(); break;
      case 20: c.y = m_r.ValueDouble(); break;
      case 30: c.z = m_r.ValueDouble(); break;
      case 11: major.x = m_r.ValueDouble(); break;
      case 21: major.y = m_r.ValueDouble(); break;
      case 31: major.z = m_r.ValueDouble(); break;
      case 40: ratio = m_r.ValueDouble(); break;
      case 41: start = m_r.ValueDouble(); break;
      case 42: end = m_r.ValueDouble(); break;
      default: common(); break;
    }
  }
  if (!accept()) return;
  double sweep = end - start;
  if (sweep < 0) sweep += kTwoPi;
  if (sweep < 0 || sweep > kTwoPi) sweep = kTwoPi;
  const size_t first = m_data.points.size();
  if (!appendEllipse(m_data.points, c, major, ratio, m_extrusion, start, sweep, m_tol))
    failEntity(ErrorCode::DxfInvalidEllipse);
  const bool closed = applyClosureRule(m_data.points, first);
  simplifyRange(m_data.points, first, m_tol);
  // The centre of an ellipse is always added; the centre-point filter
  // decides on it like on an arc centre.
  m_pending.push_back({c, kCategoryCentrePoint, -1});
  addPolygon(first, closed);
}

void DxfEntityReader::readSpline() {
  beginEntity();
  m_spline.degree = 0;
  m_spline.knots.clear();
  m_spline.weights.clear();
  m_spline.controls.clear();
  // The counts 72, 73 and 74 are not used to reserve: a drawing may
  // announce ten million control points and hold three.
  while (next()) {
    switch (m_r.code()) {
      case 71: m_spline.degree = m_r.ValueInt(); break;
      case 40: m_spline.knots.push_back(m_r.ValueDouble()); break;
      case 41: m_spline.weights.push_back(m_r.ValueDouble()); break;
      case 10: m_spline.controls.push_back({m_r.ValueDouble(), 0, 0}); break;
      case 20:
        if (!m_spline.controls.empty()) m_spline.controls.back().y = m_r.ValueDouble();
        break;
      case 30:
        if (!m_spline.controls.empty()) m_spline.controls.back().z = m_r.ValueDouble();
        break;
      default: common(); break;
    }
  }
  if (!accept()) return;
  const int rc = checkSpline(m_spline);
  if (rc < 0) failEntity(static_cast<ErrorCode>(rc));
  if (rc > 0) return;
  const size_t first = m_data.points.size();
  appendSpline(m_data.points, m_spline, m_tol);
  const bool closed = applyClosureRule(m_data.points, first);
  simplifyRange(m_data.points, first, m_tol);
  addPolygon(first, closed);
}

void DxfEntityReader::read3dFace() {
  beginEntity();
  DxfVec corner[4];
  while (next()) {
    const int code = m_r.code();
    if (code >= 10 && code <= 13)
      corner[code - 10].x = m_r.ValueDouble();
    else if (code >= 20 && code <= 23)
      corner[code - 20].y = m_r.ValueDouble();
    else if (code >= 30 && code <= 33)
      corner[code - 30].z = m_r.ValueDouble();
    else
      common();
  }
  if (!accept()) return;
  const size_t first = m_data.points.size();
  m_data.points.push_back(corner[0]);
  // A three-sided face repeats its third corner as the fourth.
  for (int k = 1; k < 4; ++k)
    if (!nearlyEqual(corner[k], m_data.points.back(), m_eps)) m_data.points.push_back(corner[k]);
  applyClosureRule(m_data.points, first);
  addPolygon(first, true);
}

}  // namespace vltrx
