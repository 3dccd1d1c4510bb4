#!/usr/bin/python3
# Generates the input of the drawing-writer benchmark: n points in polygons
# of 5 to 20 points over 10 categories as a vltrx CSV file, and the same
# points as a plain point table for GDAL.
#
#   bench/make-writer-input.py 1000000 big.csv big-ogr.csv
#   time build-rel/app/vltrx big.csv big.dxf -nodialog
#   time build-rel/app/vltrx big.csv big.svg -nodialog
#   time ogr2ogr -f DXF ogr.dxf big-ogr.csv -oo SEPARATOR=SEMICOLON \
#        -oo X_POSSIBLE_NAMES=X -oo Y_POSSIBLE_NAMES=Y -oo Z_POSSIBLE_NAMES=Z
import random
import sys

n = int(sys.argv[1])
random.seed(42)
cats = ["Wall", "Kerb", "Fence", "Tree", "Manhole", "Hedge", "Road", "Drain", "Lamp", "Building"]
a = open(sys.argv[2], "w", newline="")
b = open(sys.argv[3], "w", newline="")
a.write("Velmora CSV Version 2.1\r\nSystem: XYZ\r\n\r\n"
        "Point No.;X;Y;Z;Point Categories;Point Comment;New Poly;Poly Categories;Poly Comment\r\n\r\n")
b.write("ID;X;Y;Z;CAT\r\n")
x, y, z = 500000.123, 5300000.456, 312.789
left = 0
for i in range(1, n + 1):
    x += round(random.uniform(-2, 2), 3)
    y += round(random.uniform(-2, 2), 3)
    z += round(random.uniform(-0.2, 0.2), 3)
    line = "%d;%.3f;%.3f;%.3f;;" % (i, x, y, z)
    if left == 0:
        left = random.randint(5, 20)
        line += ';%s;"%s";' % ("closed" if i % 3 == 0 else "open", cats[(i // 7) % 10])
    left -= 1
    a.write(line + "\r\n")
    b.write("%d;%.3f;%.3f;%.3f;%s\r\n" % (i, x, y, z, cats[(i // 7) % 10]))
