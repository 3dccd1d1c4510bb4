#!/usr/bin/python3
"""What ezdxf finds in a drawing, for DxfTest: one line per fact.

  P x y z                    a POINT
  V x y z                    a vertex or LINE end (world coordinates)
  S x1 y1 z1 x2 y2 z2        a piece of the densely flattened geometry
  E minx miny maxx maxy      the extent of all of it

Only model-space entities on layers that are neither frozen nor off are
listed; with the argument "vl" only the layers VL and VL_*. Meshes, texts,
hatches and the like are left out.
"""
import sys
import ezdxf
from ezdxf import path as ezpath
from ezdxf import recover

SAGITTA = 0.0002


def wanted_layer(doc, name, vl_only):
    layer = doc.layers.get(name) if doc.layers.has_entry(name) else None
    if layer is not None and (layer.is_frozen() or layer.is_off()):
        return False
    if not vl_only:
        return True
    up = name.upper()
    return up == "VL" or up.startswith("VL_")


def main():
    # The recover loader takes what real programs write (no subclass
    # markers, no HEADER, junk after EOF); binary drawings need the plain one.
    with open(sys.argv[1], "rb") as f:
        binary = f.read(18) == b"AutoCAD Binary DXF"
    doc = ezdxf.readfile(sys.argv[1]) if binary else recover.readfile(sys.argv[1])[0]
    vl_only = len(sys.argv) > 2 and sys.argv[2] == "vl"
    out = []
    xs, ys = [], []

    def vertex(p):
        out.append("V %.6f %.6f %.6f" % (p[0], p[1], p[2]))

    for e in doc.modelspace():
        if e.dxf.get("invisible", 0):
            continue
        if not wanted_layer(doc, e.dxf.layer, vl_only):
            continue
        kind = e.dxftype()
        if kind == "POINT":
            p = e.dxf.location
            out.append("P %.6f %.6f %.6f" % (p.x, p.y, p.z))
            xs.append(p.x)
            ys.append(p.y)
            continue
        if kind == "LINE":
            vertex(e.dxf.start)
            vertex(e.dxf.end)
        elif kind == "LWPOLYLINE":
            for p in e.vertices_in_wcs():
                vertex(p)
        elif kind == "POLYLINE":
            if e.is_poly_face_mesh or e.is_polygon_mesh:
                continue
            if e.is_2d_polyline:
                ocs = e.ocs()
                elevation = e.dxf.elevation.z
                for p in e.points():
                    vertex(ocs.to_wcs((p.x, p.y, elevation)))
            else:
                for p in e.points():
                    vertex(p)
        elif kind == "3DFACE":
            for p in e.wcs_vertices():
                vertex(p)
        elif kind not in ("ARC", "CIRCLE", "ELLIPSE", "SPLINE"):
            continue
        if kind == "3DFACE":
            pts = list(e.wcs_vertices()) + [e.wcs_vertices()[0]]
        else:
            pts = list(ezpath.make_path(e).flattening(SAGITTA))
        for a, b in zip(pts, pts[1:]):
            out.append("S %.6f %.6f %.6f %.6f %.6f %.6f" % (a.x, a.y, a.z, b.x, b.y, b.z))
        if len(pts) == 1:
            a = pts[0]
            out.append("S %.6f %.6f %.6f %.6f %.6f %.6f" % (a.x, a.y, a.z, a.x, a.y, a.z))
        for p in pts:
            xs.append(p.x)
            ys.append(p.y)
    if xs:
        out.append("E %.6f %.6f %.6f %.6f" % (min(xs), min(ys), max(xs), max(ys)))
    print("\n".join(out))


main()
