// The entity parsers of the DXF reader (inside formats/dxf only): one
// parser per entity name, each a switch over the group codes whose default
// hands the pair to the common properties.
#pragma once

#include "formats/dxf/DxfCurves.h"
#include "formats/dxf/DxfGroupReader.h"
#include "formats/dxf/DxfReader.h"

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vltrx {

class Ui;

/// Hash of layer names that also takes views (no string built per look-up).
struct DxfNameHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

class DxfEntityReader {
 public:
  DxfEntityReader(DxfGroupReader& reader, tDXFData& data, const DxfReadSettings& settings, Ui& ui);

  /// Reads entities up to and including the group-0 pair "ENDSEC" (or up
  /// to "EOF", which is pushed back). Unknown entities are skipped whole.
  void readEntities();

  // The parsers of the dispatch table; each starts after the entity's
  // group-0 pair and ends with the next group-0 pair pushed back.
  void readPoint();
  void readLine();
  void readPolyline();
  void readLwPolyline();
  void readArc();
  void readCircle();
  void readEllipse();
  void readSpline();
  void read3dFace();
  void skipEntity();
  // DxfBlocks.cpp: INSERT (with its ATTRIB sequence), TEXT and MTEXT,
  // proxy entities.
  void readInsert();
  void readText();
  void readMtext();
  void readProxy();
  bool resolveTextLayer();
  /// Reads entities up to the group-0 pair end (consumed; "EOF" pushed back).
  void readEntitiesUpTo(std::string_view end);

 private:
  struct Vertex {
    double x, y, z, bulge;
  };
  struct LayerState {
    int layer = -1;       // index into the layer table
    bool hidden = false;  // frozen or off: the entity is dropped
  };
  struct PendingPoint {
    DxfVec p;
    uint16_t category;
    double radius;  // for the "R=%.3fm" comment; < 0 = "EllipseMP"
  };

  void beginEntity();
  /// Reads the next pair of the current entity; false (the group-0 pair
  /// pushed back) at its end. A hidden layer skips the rest of the entity.
  bool next();
  /// The common properties: layer (8), invisibility (60), paper space (67),
  /// extrusion (210, 220, 230); every other code is ignored.
  void common();
  bool accept();
  /// Fails with code at the line of the entity's name.
  [[noreturn]] void failEntity(ErrorCode code) const { throw DxfGroupReader::errorAt(code, m_startLine); }
  DxfOcs ocs();
  uint16_t layer() const { return static_cast<uint16_t>(m_layer < 0 ? 0 : m_layer); }

  void addPolygon(size_t first, bool closed);
  void addSinglePoint(DxfVec p, uint16_t category, double radius);
  void flushPending();
  /// Adds the arc of radius r around centre (object coordinates of the
  /// entity's extrusion) as a polygon, with its centre point when centre
  /// points are on; a full circle of at most three points becomes its
  /// centre marked 10031 instead.
  void appendArc(DxfVec centre, double r, double a0, double sweep);
  /// The polygon of m_vertices (OCS, bulges) with the closed flag.
  void buildPolyline(bool closed, const DxfOcs& ocs);

  DxfGroupReader& m_r;
  tDXFData& m_data;
  Ui& m_ui;
  double m_tol;
  double m_eps;
  bool m_centrePoints;
  bool m_warnedOcs = false;

  // The current entity.
  uint64_t m_startLine = 0;
  int m_layer = -1;
  bool m_hidden = false;
  bool m_invisible = false;
  bool m_paper = false;
  bool m_layerSeen = false;
  DxfVec m_extrusion{0, 0, 1};

  std::unordered_map<std::string, LayerState, DxfNameHash, std::equal_to<>> m_layerCache;
  std::string m_upper;
  std::vector<Vertex> m_vertices;
  std::vector<PendingPoint> m_pending;
  DxfSpline m_spline;
  bool m_proxies = false;  // proxy anchors are read
};

}  // namespace vltrx
