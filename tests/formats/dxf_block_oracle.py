#!/usr/bin/python3
"""What ezdxf finds in a drawing with blocks, for DxfBlocksTest: one line per
fact, every INSERT expanded (nested ones too) by ezdxf's own transformation.

  P x y z layer       a POINT
  V x y z layer       a LINE end

The layer is the entity's own, or that of the insert around it when the
entity lies on layer "0". Only model-space entities on the layers VL and
VL_* are listed (after the layer "0" rule); undefined blocks give nothing.
"""
import sys
import ezdxf
from ezdxf import recover


def plan(layer):
    up = layer.upper()
    return up == "VL" or up.startswith("VL_")


def walk(entity, layer, out, depth):
    kind = entity.dxftype()
    if kind == "INSERT":
        if depth > 30 or entity.doc.blocks.get(entity.dxf.name) is None:
            return
        for e in entity.virtual_entities():
            own = e.dxf.layer
            walk(e, layer if own == "0" else own, out, depth + 1)
        return
    if not plan(layer):
        return
    if kind == "POINT":
        p = entity.dxf.location
        out.append("P %.6f %.6f %.6f %s" % (p.x, p.y, p.z, layer))
    elif kind == "LINE":
        for p in (entity.dxf.start, entity.dxf.end):
            out.append("V %.6f %.6f %.6f %s" % (p.x, p.y, p.z, layer))


def main():
    doc = recover.readfile(sys.argv[1])[0]
    out = []
    for e in doc.modelspace():
        if e.dxftype() == "INSERT" and not plan(e.dxf.layer):
            continue  # the layer filter applies to the insert
        walk(e, e.dxf.layer, out, 0)
    print("\n".join(out))


if __name__ == "__main__":
    main()
