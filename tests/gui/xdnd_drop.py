#!/usr/bin/python3
"""A real drag and drop between two processes on an X server (run under
xvfb-run): gui_probe's drag source drags a CSV file onto the input side of the
main dialog in another gui_probe, then a DXF file onto its output side, with
xdotool moving and pressing the mouse. Checks the paths and formats that the
dialog took over. Settings and data folders live in a temporary sandbox."""
import os
import queue
import subprocess
import sys
import tempfile
import threading
import time

probe = sys.argv[1]
root = tempfile.mkdtemp(prefix="vltrx-xdnd-")
env = dict(os.environ, QT_QPA_PLATFORM="xcb")
for name, sub in (("HOME", "home"), ("XDG_CONFIG_HOME", "config"), ("XDG_DATA_HOME", "data"),
                  ("TMPDIR", "tmp"), ("XDG_RUNTIME_DIR", "run")):
    os.makedirs(os.path.join(root, sub), mode=0o700)
    env[name] = os.path.join(root, sub)
env["VLTRX_USER_SETTINGS"] = os.path.join(root, "config", "vltrx", "settings.db")
env["VLTRX_MACHINE_SETTINGS"] = os.path.join(root, "etc", "vltrx", "settings.db")
site = os.path.join(root, "site")
os.makedirs(site)
csv = os.path.join(site, "plan 1.csv")
dxf = os.path.join(site, "drawing.dxf")
with open(csv, "w") as f:
    f.write("1;1.5;2.5;3.5\r\n")
with open(dxf, "w") as f:
    f.write("0\nEOF\n")


def start(args):
    p = subprocess.Popen([probe] + args, env=env, stdout=subprocess.PIPE, stderr=None if os.environ.get("XDND_DEBUG") else subprocess.DEVNULL, text=True)
    lines = queue.Queue()
    threading.Thread(target=lambda: [lines.put(l.rstrip("\n")) for l in p.stdout], daemon=True).start()
    return p, lines


def expect(lines, prefix, timeout=30):
    deadline = time.time() + timeout
    while time.time() < deadline:
        try:
            line = lines.get(timeout=deadline - time.time())
        except queue.Empty:
            break
        if line.startswith(prefix):
            return line[len(prefix):].strip()
    sys.exit(f"FAIL: no '{prefix}' line within {timeout} s")


def xdotool(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True, env=env)


def drag(source, target):
    """Press on the source, move in steps (the drag starts and the target
    sees enter and position messages), release over the target."""
    xdotool("mousemove", *source)
    time.sleep(0.2)
    xdotool("mousedown", 1)
    time.sleep(0.3)
    steps = 12
    for i in range(1, steps + 1):
        x = source[0] + (target[0] - source[0]) * i // steps
        y = source[1] + (target[1] - source[1]) * i // steps
        xdotool("mousemove", x, y)
        time.sleep(0.05)
    time.sleep(0.3)
    xdotool("mouseup", 1)


target, target_out = start(["droptarget", "2"])
ix, iy, ox, oy = map(int, expect(target_out, "READY").split())
source, source_out = start(["dragsource", "900", "500", csv, dxf])
sx, sy = map(int, expect(source_out, "READY").split())
failures = []
try:
    drag((sx, sy), (ix, iy))
    state = expect(target_out, "DROP").split("|")
    print("input drop:", state)
    if state[0] != csv or state[1] != "csv_in":
        failures.append(f"input side took {state[0]!r} as {state[1]!r}")
    drag((sx, sy), (ox, oy))
    state = expect(target_out, "DROP").split("|")
    print("output drop:", state)
    if state[2] != dxf or state[3] != "dxf_out":
        failures.append(f"output side took {state[2]!r} as {state[3]!r}")
    if state[0] != csv or state[1] != "csv_in":
        failures.append("the output drop changed the input side")
    expect(source_out, "DRAGGED")
finally:
    for p in (source, target):
        p.kill()
        p.wait()
    subprocess.run(["rm", "-rf", root])
if failures:
    sys.exit("FAIL: " + "; ".join(failures))
print("PASS")
