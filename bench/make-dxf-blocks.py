#!/usr/bin/python3
"""Writes a survey drawing of N point blocks ("VPKT", on VL_POINTS, with the
attribute PNR) and N TEXT labels on PNR_TEXT 0.3 m beside N POINTs:
  bench/make-dxf-blocks.py N out.dxf
Plain text, no library: the drawing is what CAD programs write for it."""
import sys

n = int(sys.argv[1])
with open(sys.argv[2], "w") as f:
    w = f.write
    w("0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1024\n0\nENDSEC\n")
    w("0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n8\n0\n2\nVPKT\n70\n2\n10\n0\n20\n0\n30\n0\n")
    w("0\nPOINT\n8\n0\n10\n0\n20\n0\n30\n0\n0\nCIRCLE\n8\nSYMBOL\n10\n0\n20\n0\n30\n0\n40\n0.25\n")
    w("0\nATTDEF\n8\n0\n10\n0.3\n20\n0.3\n30\n0\n40\n0.5\n1\n\n2\nPNR\n3\nNumber\n70\n0\n")
    w("0\nENDBLK\n8\n0\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n")
    side = max(1, int(n ** 0.5))
    for k in range(n):
        x = 500000.0 + (k % side) * 7.5
        y = 5400000.0 + (k // side) * 7.5
        z = 100.0 + (k % 97) * 0.01
        nr = str(1 + k % 9999)
        w("0\nINSERT\n8\nVL_POINTS\n66\n1\n2\nVPKT\n10\n%.3f\n20\n%.3f\n30\n%.3f\n41\n0.5\n42\n0.5\n43\n0.5\n" % (x, y, z))
        w("0\nATTRIB\n8\n0\n10\n%.3f\n20\n%.3f\n30\n%.3f\n40\n0.5\n1\n%s\n2\nPNR\n70\n0\n" % (x + 0.3, y + 0.3, z, nr))
        w("0\nSEQEND\n8\n0\n")
        w("0\nPOINT\n8\nVL_MEASURED\n10\n%.3f\n20\n%.3f\n30\n%.3f\n" % (x + 2.5, y, z))
        w("0\nTEXT\n8\nPNR_TEXT\n10\n%.3f\n20\n%.3f\n30\n0\n40\n0.5\n1\n%s\n" % (x + 2.8, y + 0.2, nr))
    w("0\nENDSEC\n0\nEOF\n")
