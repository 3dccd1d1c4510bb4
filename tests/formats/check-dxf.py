#!/usr/bin/python3
# Test oracle: opens a DXF with ezdxf, runs its audit and prints what it
# read, one line per fact, for the C++ tests to compare:
#   errors <n>          audit errors (fixes are listed as "fix <code> <message>")
#   layer <name> <colour>
#   <TYPE> <layer> <x> <y> <z> [...]   per entity in file order
# Exit status 2 when ezdxf cannot read the file at all.
import sys

import ezdxf
from ezdxf import recover

path = sys.argv[1]
try:
    doc = ezdxf.readfile(path)
except Exception as e:  # noqa: BLE001 - any failure to read is the finding
    print("unreadable", type(e).__name__, e)
    sys.exit(2)
auditor = doc.audit()
print("errors", len(auditor.errors))
for e in auditor.errors:
    print("error", e.code, e.message)
for f in auditor.fixes:
    print("fix", f.code, f.message)
for layer in doc.layers:
    print("layer", layer.dxf.name, layer.dxf.color)


def xyz(p):
    return "%.6f %.6f %.6f" % (p[0], p[1], p[2])


for e in doc.modelspace():
    t = e.dxftype()
    if t == "POINT":
        print(t, e.dxf.layer, xyz(e.dxf.location))
    elif t == "LINE":
        print(t, e.dxf.layer, xyz(e.dxf.start), xyz(e.dxf.end))
    elif t == "POLYLINE":
        print(t, e.dxf.layer, "closed" if e.is_closed else "open",
              " ".join(xyz(v.dxf.location) for v in e.vertices))
    elif t == "3DFACE":
        print(t, e.dxf.layer, " ".join(xyz(e.dxf.get("vtx%d" % i)) for i in range(4)))
    elif t == "TEXT":
        print(t, e.dxf.layer, xyz(e.dxf.insert), "%.4f" % e.dxf.height, repr(e.dxf.text))
    else:
        print(t, e.dxf.layer)
