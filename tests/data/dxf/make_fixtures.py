#!/usr/bin/python3
"""Writes the ezdxf-made drawings of tests/data/dxf (run from that folder).

The drawings are small and committed; this script only documents how they
were made and regenerates them: /usr/bin/python3 make_fixtures.py
"""
import math
import ezdxf


def entities(msp):
    msp.add_point((505000.123, 5405000.456, 12.5), dxfattribs={"layer": "VL_POINTS"})
    msp.add_point((33479198.25, 5312345.75, 0), dxfattribs={"layer": "VL_POINTS"})
    msp.add_line((10, 10, 1), (20, 15, 2), dxfattribs={"layer": "VL_LINES"})
    msp.add_lwpolyline([(0, 0, 0, 0, 0.5), (10, 0), (10, 10), (0, 10)], format="xyseb", close=True,
                       dxfattribs={"layer": "VL_WALLS", "elevation": 3.0})
    msp.add_lwpolyline([(30, 0), (40, 0, 0, 0, -1.0), (50, 0)], format="xyseb", dxfattribs={"layer": "VL_WALLS"})
    msp.add_arc((100, 100, 0), 10, 0, 90, dxfattribs={"layer": "VL_ARCS"})
    msp.add_circle((120, 100, 0), 5, dxfattribs={"layer": "VL_ARCS"})
    msp.add_circle((130, 100, 0), 0.005, dxfattribs={"layer": "VL_ARCS"})
    msp.add_ellipse((150, 100, 0), major_axis=(20, 10, 0), ratio=0.5, dxfattribs={"layer": "VL_CURVES"})
    msp.add_ellipse((200, 100, 0), major_axis=(10, 0, 0), ratio=0.3, start_param=0, end_param=math.pi,
                    dxfattribs={"layer": "VL_CURVES"})
    msp.add_spline([(0, 50, 0), (10, 60, 0), (20, 45, 0), (30, 65, 0), (40, 50, 0)],
                   dxfattribs={"layer": "VL_CURVES"})
    msp.add_rational_spline([(60, 50, 0), (70, 60, 0), (80, 50, 0)], weights=[1, 0.7071, 1], degree=2,
                            dxfattribs={"layer": "VL_CURVES"})
    msp.add_3dface([(0, 100, 0), (10, 100, 1), (10, 110, 2), (10, 110, 2)], dxfattribs={"layer": "VL_FACES"})
    msp.add_polyline2d([(0, 200), (10, 200, 0, 0, 1.0), (20, 200), (20, 210)], format="xyseb", close=True,
                       dxfattribs={"layer": "VL_POLY"})
    msp.add_polyline3d([(0, 300, 1), (10, 300, 2), (10, 300, 2), (10, 310, 3)], dxfattribs={"layer": "VL_POLY"})
    msp.add_text("not geometry", dxfattribs={"layer": "VL_TEXT"})


def basic():
    doc = ezdxf.new("R2000")
    entities(doc.modelspace())
    doc.saveas("basic.dxf")


def layers():
    doc = ezdxf.new("R2000")
    doc.layers.add("FROZEN").freeze()
    doc.layers.add("VL_FROZEN").freeze()
    doc.layers.add("VL_OFF").off()
    msp = doc.modelspace()
    msp.add_point((1, 1), dxfattribs={"layer": "VL_OFF"})
    msp.add_point((2, 2), dxfattribs={"layer": "VL_FROZEN"})
    msp.add_line((0, 0), (1, 0), dxfattribs={"layer": "FROZEN"})
    msp.add_point((3, 3), dxfattribs={"layer": "vl_walls"})
    msp.add_point((4, 4), dxfattribs={"layer": "VLWALLS"})
    msp.add_point((5, 5), dxfattribs={"layer": "VL"})
    msp.add_point((6, 6), dxfattribs={"layer": "0"})
    msp.add_point((7, 7), dxfattribs={"layer": "VL_HIDDEN", "invisible": 1})
    doc.layouts.get("Layout1").add_point((8, 8), dxfattribs={"layer": "VL_PAPER"})
    doc.saveas("layers.dxf")
    # ezdxf does not write the invisibility flag (60) itself.
    with open("layers.dxf") as f:
        text = f.read()
    with open("layers.dxf", "w") as f:
        f.write(text.replace("  8\nVL_HIDDEN\n", "  8\nVL_HIDDEN\n 60\n1\n"))


def mirrored():
    doc = ezdxf.new("R2000")
    msp = doc.modelspace()
    down = (0, 0, -1)
    msp.add_arc((10, 10, 0), 5, 0, 90, dxfattribs={"layer": "VL_M", "extrusion": down})
    msp.add_circle((30, 10, 2), 4, dxfattribs={"layer": "VL_M", "extrusion": down})
    msp.add_line((0, 0, 0), (5, 5, 0), dxfattribs={"layer": "VL_M", "extrusion": down})
    msp.add_lwpolyline([(0, 0), (10, 0, 0, 0, 0.4), (10, 10)],
                       format="xyseb", dxfattribs={"layer": "VL_M", "extrusion": down, "elevation": 1.5})
    tilted = (0.3, -0.5, 0.8)
    msp.add_circle((5, 5, 5), 3, dxfattribs={"layer": "VL_T", "extrusion": tilted})
    msp.add_lwpolyline([(0, 0), (4, 0), (4, 4)], dxfattribs={"layer": "VL_T", "extrusion": tilted,
                                                            "elevation": 2.0})
    msp.add_polyline2d([(0, 0), (3, 0), (3, 3)], dxfattribs={"layer": "VL_T", "extrusion": tilted})
    doc.saveas("mirrored.dxf")


def polyface():
    doc = ezdxf.new("R2000")
    msp = doc.modelspace()
    mesh = msp.add_polyface(dxfattribs={"layer": "VL_MESH"})
    mesh.append_face([(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0)])
    msp.add_line((0, 0), (3, 4), dxfattribs={"layer": "VL_LINES"})
    msp.add_hatch(dxfattribs={"layer": "VL_LINES"}).paths.add_polyline_path([(0, 0), (1, 0), (1, 1)])
    msp.add_mtext("M\\U+00E4 text", dxfattribs={"layer": "VL_LINES"})
    doc.saveas("polyface.dxf")


def utf8():
    doc = ezdxf.new("R2010")
    doc.header["$DWGCODEPAGE"] = "ANSI_1251"
    msp = doc.modelspace()
    msp.add_point((1, 2, 3), dxfattribs={"layer": "VL_Straße"})
    doc.saveas("utf8-r2010.dxf", encoding="utf-8")


def joining():
    doc = ezdxf.new("R2000")
    msp = doc.modelspace()
    # A rectangle of four lines in mixed directions, on one layer.
    msp.add_line((0, 0), (10, 0), dxfattribs={"layer": "VL_JOIN"})
    msp.add_line((10, 10), (10, 0.002), dxfattribs={"layer": "VL_JOIN"})
    msp.add_line((0, 10), (10, 10), dxfattribs={"layer": "VL_JOIN"})
    msp.add_line((0, 10), (0, 0), dxfattribs={"layer": "VL_JOIN"})
    # Two lines that meet, but on different layers, stay apart.
    msp.add_line((20, 0), (30, 0), dxfattribs={"layer": "VL_A"})
    msp.add_line((30, 0), (40, 0), dxfattribs={"layer": "VL_B"})
    # A chain of three pieces, the middle one reversed.
    msp.add_lwpolyline([(50, 0), (60, 0)], dxfattribs={"layer": "VL_CHAIN"})
    msp.add_lwpolyline([(70, 0), (60, 0)], dxfattribs={"layer": "VL_CHAIN"})
    msp.add_lwpolyline([(70, 0), (80, 5)], dxfattribs={"layer": "VL_CHAIN"})
    doc.saveas("joining.dxf")


def quirks_r12():
    """Written by hand the way small programs write R12: no HEADER, group
    codes right-aligned in three columns, 999 comments, CR LF, a cp1252 layer
    name, mirrored extrusions, an ELLIPSE and a SPLINE without $ACADVER, and
    junk after EOF."""
    pairs = [(999, "written by a survey tool"), (0, "SECTION"), (2, "TABLES"),
             (0, "TABLE"), (2, "LAYER"), (70, 1),
             (0, "LAYER"), (2, "VL_STRA\xdfE"), (70, 0), (62, 7), (6, "CONTINUOUS"),
             (0, "ENDTAB"), (0, "ENDSEC"),
             (0, "SECTION"), (2, "ENTITIES"),
             (0, "LINE"), (8, "VL_STRA\xdfE"), (10, 1.5), (20, 2.5), (30, 0.0), (11, 4.0), (21, 6.0), (31, 0.0),
             (210, 0.0), (220, 0.0), (230, -1.0),
             (0, "ARC"), (8, "VL_STRA\xdfE"), (10, 5.0), (20, 5.0), (30, 0.0), (40, 2.0), (50, 10.0), (51, 100.0),
             (210, 0.0), (220, 0.0), (230, -1.0),
             (0, "CIRCLE"), (8, "VL_STRA\xdfE"), (10, -20.0), (20, 3.0), (30, 1.0), (40, 1.5),
             (210, 0.0), (220, 0.0), (230, -1.0),
             (0, "POLYLINE"), (8, "VL_STRA\xdfE"), (66, 1), (10, 0.0), (20, 0.0), (30, 2.0), (70, 0),
             (210, 0.6), (220, 0.0), (230, 0.8),
             (0, "VERTEX"), (8, "VL_STRA\xdfE"), (10, 0.0), (20, 0.0), (30, 2.0),
             (0, "VERTEX"), (8, "VL_STRA\xdfE"), (10, 3.0), (20, 0.0), (30, 2.0), (42, 0.3),
             (0, "VERTEX"), (8, "VL_STRA\xdfE"), (10, 3.0), (20, 4.0), (30, 2.0),
             (0, "SEQEND"), (8, "VL_STRA\xdfE"),
             (0, "ELLIPSE"), (100, "AcDbEntity"), (8, "VL"), (100, "AcDbEllipse"), (10, 50.0), (20, 50.0), (30, 0.0), (11, 0.0), (21, 8.0), (31, 0.0),
             (40, 0.25), (41, 0.5), (42, 3.0),
             (0, "SPLINE"), (100, "AcDbEntity"), (8, "VL"), (100, "AcDbSpline"), (70, 8), (71, 3), (72, 8), (73, 4), (74, 0),
             (40, 0.0), (40, 0.0), (40, 0.0), (40, 0.0), (40, 1.0), (40, 1.0), (40, 1.0), (40, 1.0),
             (10, 60.0), (20, 0.0), (30, 0.0), (10, 62.0), (20, 5.0), (30, 0.0),
             (10, 66.0), (20, -3.0), (30, 0.0), (10, 70.0), (20, 1.0), (30, 0.0),
             (0, "POINT"), (8, "VL"), (10, 33479198.123), (20, 5405000.456), (30, 101.25),
             (0, "ENDSEC"), (0, "EOF")]
    text = "".join("%3d\r\n%s\r\n" % (code, value) for code, value in pairs)
    with open("quirks-r12.dxf", "wb") as f:
        f.write(text.encode("cp1252") + b"\x1a\x00junk after the end\r\n")


def binary():
    """The entities of basic.dxf as an R2000 binary drawing (two-byte group
    codes), and a few as an R12 binary drawing (one-byte group codes)."""
    doc = ezdxf.new("R2000")
    entities(doc.modelspace())
    doc.saveas("basic-binary.dxf", fmt="bin")
    doc = ezdxf.new("R12")
    msp = doc.modelspace()
    msp.add_point((505000.123, 5405000.456, 12.5), dxfattribs={"layer": "VL_POINTS"})
    msp.add_line((10, 10, 1), (20, 15, 2), dxfattribs={"layer": "VL_LINES"})
    msp.add_arc((100, 100, 0), 10, 0, 90, dxfattribs={"layer": "VL_ARCS"})
    msp.add_polyline2d([(0, 200), (10, 200, 0, 0, 1.0), (20, 200), (20, 210)], format="xyseb", close=True,
                       dxfattribs={"layer": "VL_POLY"})
    doc.saveas("r12-binary.dxf", fmt="bin")


def site_plan():
    """The shipped sample drawing samples/site-plan.dxf: a small site with a
    building, a kerb with a curve, trees, a manhole and survey points."""
    doc = ezdxf.new("R2000")
    msp = doc.modelspace()
    e0, n0 = 505120.0, 5405240.0
    msp.add_lwpolyline([(e0, n0), (e0 + 18.5, n0), (e0 + 18.5, n0 + 12.25), (e0, n0 + 12.25)], close=True,
                       dxfattribs={"layer": "VL_BUILDING"})
    msp.add_lwpolyline([(e0 - 6, n0 - 4, 0, 0, 0), (e0 + 20, n0 - 4, 0, 0, 0.4142), (e0 + 26, n0 + 2),
                        (e0 + 26, n0 + 20)], format="xyseb", dxfattribs={"layer": "VL_KERB", "elevation": 101.2})
    for k, (de, dn) in enumerate([(-3, 6), (-3, 12), (22, 16)]):
        msp.add_circle((e0 + de, n0 + dn, 101.5), 1.8 + 0.2 * k, dxfattribs={"layer": "VL_TREES"})
    msp.add_circle((e0 + 24, n0 - 1, 100.9), 0.004, dxfattribs={"layer": "VL_MANHOLE"})
    for k, (de, dn, h) in enumerate([(0, 0, 101.32), (18.5, 0, 101.35), (18.5, 12.25, 101.41), (0, 12.25, 101.38)]):
        msp.add_point((e0 + de, n0 + dn, h), dxfattribs={"layer": "VL_POINTS"})
    msp.add_text("Site plan", dxfattribs={"layer": "TITLE", "insert": (e0, n0 + 25)})
    doc.saveas("../../../samples/site-plan.dxf")


def blocks():
    """Blocks in blocks, base points, scales, rotations, a mirrored extrusion,
    layer "0" contents, attributes and texts for the point ids."""
    doc = ezdxf.new("R2010")
    pt = doc.blocks.new("PT", base_point=(1, 1, 0))
    pt.add_point((1, 1, 0), dxfattribs={"layer": "0"})
    pt.add_line((1, 1, 0), (2, 1, 0.5), dxfattribs={"layer": "0"})
    pt.add_text("7", dxfattribs={"layer": "0", "insert": (1.2, 1.2)})
    pt.add_attdef("PNR", (1.5, 1.5), dxfattribs={"layer": "0"})
    tree = doc.blocks.new("TREE", base_point=(0, 0, 0))
    tree.add_point((0, 0, 0), dxfattribs={"layer": "VL_TREES"})
    tree.add_line((0, 0, 0), (0, 2, 0), dxfattribs={"layer": "0"})
    tree.add_blockref("PT", (5, 0, 0), dxfattribs={"xscale": 2, "yscale": 2, "rotation": 90, "layer": "VL_NESTED"})
    tree.add_blockref("PT", (0, 5, 0), dxfattribs={"layer": "0"})
    msp = doc.modelspace()
    a = msp.add_blockref("PT", (100, 200, 5), dxfattribs={"layer": "VL_PIPES"})
    a.add_attrib("PNR", "17", (100.5, 200.5))
    b = msp.add_blockref("PT", (110, 200, 0), dxfattribs={"layer": "VL_PIPES", "xscale": 2, "yscale": 3,
                                                           "rotation": 30})
    b.add_attrib("PNR", "18", (110.5, 200.5))
    msp.add_blockref("TREE", (300, 300, 0), dxfattribs={"layer": "VL_GREEN", "rotation": 45, "xscale": 0.5,
                                                         "yscale": 0.5, "zscale": 0.5})
    msp.add_blockref("TREE", (400, 400, 2), dxfattribs={"layer": "VL_GREEN", "extrusion": (0, 0, -1),
                                                         "rotation": 10})
    msp.add_blockref("TREE", (500, 500, 0), dxfattribs={"layer": "OTHER"})
    msp.add_blockref("NOT_DEFINED", (600, 600, 0), dxfattribs={"layer": "VL_PIPES"})
    msp.add_point((100, 200, 5), dxfattribs={"layer": "VL_POINTS"})
    doc.saveas("blocks.dxf")


def survey():
    """Two survey drawings of the same four points: numbers in a block
    attribute "PNR" (blocks on VL_POINTS, scaled and turned as CAD programs
    place them), and numbers as TEXT labels on their own layer beside
    POINTs."""
    pts = [(505120.0, 5405240.0, 101.32, "1001"), (505138.5, 5405240.0, 101.35, "1002"),
           (505138.5, 5405252.25, 101.41, "1003"), (505120.0, 5405252.25, 101.38, "2047")]
    doc = ezdxf.new("R2010")
    sym = doc.blocks.new("VPKT", base_point=(0, 0, 0))
    sym.add_point((0, 0, 0), dxfattribs={"layer": "0"})
    sym.add_circle((0, 0, 0), 0.25, dxfattribs={"layer": "SYMBOL"})
    sym.add_attdef("PNR", (0.3, 0.3), dxfattribs={"layer": "0"})
    sym.add_attdef("HOEHE", (0.3, -0.3), dxfattribs={"layer": "0"})
    msp = doc.modelspace()
    for k, (x, y, z, nr) in enumerate(pts):
        ref = msp.add_blockref("VPKT", (x, y, z), dxfattribs={"layer": "VL_POINTS", "xscale": 0.5, "yscale": 0.5,
                                                               "rotation": 30 * k})
        ref.add_attrib("PNR", nr, (x + 0.3, y + 0.3, z))
        ref.add_attrib("HOEHE", "%.2f" % z, (x + 0.3, y - 0.3, z))
    doc.saveas("survey-attributes.dxf")

    doc = ezdxf.new("R2010")
    msp = doc.modelspace()
    for x, y, z, nr in pts:
        msp.add_point((x, y, z), dxfattribs={"layer": "VL_POINTS"})
        msp.add_text(nr, height=0.5, dxfattribs={"layer": "PNR_TEXT", "insert": (x + 0.3, y + 0.2, 0)})
        msp.add_text("%.2f" % z, height=0.5, dxfattribs={"layer": "HEIGHTS", "insert": (x + 0.3, y - 0.6, 0)})
    doc.saveas("survey-labels.dxf")


if __name__ == "__main__":
    import sys
    if len(sys.argv) > 1:  # only the named drawings, e.g. "binary"
        for name in sys.argv[1:]:
            globals()[name]()
        sys.exit(0)
    basic()
    layers()
    mirrored()
    polyface()
    utf8()
    joining()
    quirks_r12()
    site_plan()
    binary()
    blocks()
    survey()
