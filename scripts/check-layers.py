#!/usr/bin/env python3
"""Fails when a library folder includes from, or links to, a folder above it.

The libraries depend only downward. LAYERS below is the one place that says
which way: a folder may include headers of its own folder and of the folders
listed before it, never of a folder listed after it. The same order holds for
the vltrx_library links in each folder's CMakeLists.txt. Tests, benchmarks
and fuzz targets sit outside the layers and may use any library.

Usage: check-layers.py [ROOT]   (ROOT defaults to the repository root)
"""

import pathlib
import re
import sys

# Lowest first. gui/ (the Qt front end) comes above the command line.
LAYERS = ["platform", "core", "ui", "framework", "update", "xml", "formats", "app", "gui"]
LIBRARIES = {
    "vltrx_platform": "platform",
    "vltrx_core": "core",
    "vltrx_ui": "ui",
    "vltrx_framework": "framework",
    "vltrx_update": "update",
    "vltrx_xml": "xml",
    "vltrx_formats": "formats",
    "vltrx_cli": "app",
    "vltrx_gui": "gui",
}
# Quoted includes that name no folder of the tree: files the build generates.
GENERATED = {"MessageData.inc"}
SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".cc", ".inc"}

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
LIBRARY = re.compile(r"vltrx_library\(\s*(\w+)(.*?)\)", re.S)


def layer_of(root, path):
    """The layer folder a path lies in, or None outside the layers."""
    try:
        first = path.resolve().relative_to(root).parts[0]
    except (ValueError, IndexError):
        return None
    return first if first in LAYERS else None


def check_includes(root, folder):
    problems = []
    rank = LAYERS.index(folder)
    for source in sorted((root / folder).rglob("*")):
        if source.suffix not in SOURCE_SUFFIXES or not source.is_file():
            continue
        rel = source.relative_to(root)
        for number, line in enumerate(source.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            name = match.group(1)
            beside = source.parent / name
            if beside.is_file():
                target = layer_of(root, beside)  # relative include, "../ui/Ui.h" too
            elif name.split("/")[0] in LAYERS:
                target = name.split("/")[0]
            elif name in GENERATED:
                continue
            else:
                problems.append(f"{rel}:{number}: includes \"{name}\", which is in no folder of the layers")
                continue
            if target is None:
                problems.append(f"{rel}:{number}: includes \"{name}\" from outside the layers")
            elif LAYERS.index(target) > rank:
                problems.append(f"{rel}:{number}: includes \"{name}\" from {target}/, which is above {folder}/")
    return problems


def check_links(root, folder):
    problems = []
    cmake = root / folder / "CMakeLists.txt"
    if not cmake.is_file():
        return problems
    rank = LAYERS.index(folder)
    for match in LIBRARY.finditer(cmake.read_text()):
        for dep in re.findall(r"\bvltrx_\w+", match.group(2)):
            target = LIBRARIES.get(dep)
            if target and LAYERS.index(target) > rank:
                problems.append(f"{cmake.relative_to(root)}: {match.group(1)} links {dep} from {target}/, "
                                f"which is above {folder}/")
    return problems


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent).resolve()
    problems = []
    for folder in LAYERS:
        if (root / folder).is_dir():
            problems += check_includes(root, folder) + check_links(root, folder)
    for problem in problems:
        print(problem)
    if problems:
        print(f"check-layers: {len(problems)} dependencies point upward (order: {' < '.join(LAYERS)})")
        return 1
    print(f"check-layers: every include and link points downward ({' < '.join(LAYERS)})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
