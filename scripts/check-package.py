#!/usr/bin/python3
"""Checks the installation and the Debian package of a build:
`cmake --install` into a DESTDIR puts every program, filter, desktop file,
manual page and document in its place (the HTML manual with the pictures it
shows), the installed vltrx finds its filters there, and the .deb that
CPack builds holds exactly that tree with the package's name, version and
dependencies.
Usage: check-package.py <source root> <build folder>

The package is built here without dpkg-shlibdeps (40 s on the sanitizer
build); `make package` builds the real one with it."""
import os
import re
import subprocess
import sys
import tempfile

root, build = sys.argv[1], sys.argv[2]
problems = []


def run(command, **kw):
    return subprocess.run(command, capture_output=True, text=True, **kw)


with tempfile.TemporaryDirectory(prefix="vltrx-package-") as tmp:
    dest = os.path.join(tmp, "root")
    r = run(["cmake", "--install", build, "--prefix", "/usr"], env=dict(os.environ, DESTDIR=dest))
    if r.returncode != 0:
        sys.exit("cmake --install failed: " + r.stderr)
    tree = set()
    for folder, _, files in os.walk(dest):
        for f in files:
            tree.add(os.path.relpath(os.path.join(folder, f), dest))

    expected = {
        "usr/bin/vltrx", "usr/bin/vltrx-gui", "usr/bin/msxsl",
        "usr/share/applications/vltrx-gui.desktop",
        "usr/share/icons/hicolor/scalable/apps/vltrx.svg",
        "usr/share/mime/packages/vltrx-category.xml",
        "usr/share/man/man1/vltrx.1", "usr/share/man/man1/vltrx-gui.1",
        "usr/share/doc/vltrx/manual.html", "usr/share/doc/vltrx/manual-de.html",
        "usr/share/doc/vltrx/manual.md", "usr/share/doc/vltrx/manual-de.md", "usr/share/doc/vltrx/README.md",
        "usr/share/doc/vltrx/gui.md", "usr/share/doc/vltrx/update.md",
        "usr/share/doc/vltrx/gui-main-en.png", "usr/share/doc/vltrx/gui-main-de.png",
        "usr/share/doc/vltrx/gui-options-en.png", "usr/share/doc/vltrx/gui-options-de.png",
        "usr/share/doc/vltrx/gui-options-ru.png",
    }
    for folder, _, files in os.walk(os.path.join(root, "filters")):
        for f in files:
            expected.add("usr/share/vltrx/filters/" + os.path.relpath(os.path.join(folder, f), os.path.join(root, "filters")))
    for f in os.listdir(os.path.join(root, "docs", "formats")):
        expected.add("usr/share/doc/vltrx/formats/" + f)
    missing = sorted(expected - tree)
    if missing:
        problems.append("not installed: " + " ".join(missing))
    # The installed manual pages show pictures that are installed with them.
    for page in ("manual.html", "manual-de.html"):
        path = os.path.join(dest, "usr/share/doc/vltrx", page)
        if os.path.isfile(path):
            for p in re.findall(r'<img [^>]*src="([^"]+)"', open(path, encoding="utf-8").read()):
                if os.path.normpath("usr/share/doc/vltrx/" + p) not in tree:
                    problems.append(f"{page} shows {p}, which is not installed")

    # The installed program finds the shipped plug-ins beside its bin folder.
    sandbox = os.path.join(tmp, "sandbox")
    env = dict(os.environ, HOME=sandbox, XDG_CONFIG_HOME=sandbox + "/config", XDG_DATA_HOME=sandbox + "/data",
               TMPDIR=sandbox, VLTRX_USER_SETTINGS=sandbox + "/config/settings.db",
               VLTRX_MACHINE_SETTINGS=sandbox + "/etc/settings.db")
    env.pop("VLTRX_SYSTEM_FILTERS", None)
    os.makedirs(sandbox)
    r = run([os.path.join(dest, "usr/bin/vltrx"), "-help", "-lang:en"], env=env)
    if "geojson" not in (r.stdout + r.stderr).lower():
        problems.append("the installed vltrx does not list the shipped plug-in geojson")

    r = run(["cpack", "-G", "DEB", "--config", os.path.join(build, "CPackConfig.cmake"), "-B", os.path.join(tmp, "deb"),
             "-D", "CPACK_DEBIAN_PACKAGE_SHLIBDEPS=OFF", "-D", "CPACK_STRIP_FILES=OFF"])
    debs = [os.path.join(tmp, "deb", f) for f in os.listdir(os.path.join(tmp, "deb")) if f.endswith(".deb")] \
        if os.path.isdir(os.path.join(tmp, "deb")) else []
    if r.returncode != 0 or len(debs) != 1:
        sys.exit("cpack failed: " + r.stdout + r.stderr)
    listing = run(["dpkg-deb", "-c", debs[0]]).stdout.splitlines()
    packaged = {line.split()[-1].lstrip("./") for line in listing if not line.startswith("d")}
    if packaged != tree:
        problems.append(f"package and install tree differ: only in the package {sorted(packaged - tree)}, "
                        f"only installed {sorted(tree - packaged)}")
    fields = {name: run(["dpkg-deb", "-f", debs[0], name]).stdout.strip()
              for name in ("Package", "Version", "Architecture", "Depends", "Maintainer")}
    if fields["Package"] != "vltrx" or fields["Version"] != "3.40" or not fields["Maintainer"]:
        problems.append(f"control fields: {fields}")
    if "xsltproc" not in fields["Depends"]:
        problems.append("Depends lacks xsltproc: " + fields["Depends"])

for p in problems:
    print(p)
if problems:
    sys.exit(1)
print(f"installed and packaged: {len(tree)} files")
