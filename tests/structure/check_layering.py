#!/usr/bin/env python3
"""Checks that the source folders keep their layering and that every library
links only the Qt modules its own sources use.

usage: check_layering.py <source dir> <Qt include dir>

Layering: a file under src/<folder> may include headers of the folders listed
for it below (and its own). A folder is a path under src ("camera/indi"); an
include belongs to the deepest folder its path starts with. Camera and guider
drivers use the interfaces, image and platform, never another driver; only
devices knows every driver. The sequence model (the files that build
tandexa_sequence_model) uses platform only. Only image includes cfitsio; image
may use Qt Gui for the 8-bit screen image (QImage) of a stretched frame, never
Widgets. Qt modules: a Qt6::X named in a
library's target_link_libraries must be used by an include in that library's
own sources; a library whose sources include a module must be allowed it.
Prints every violation and exits 1 when there is any.
"""
import os
import re
import sys

INTERFACES = {"platform", "image", "camera"}
ALLOWED = {
    "platform": set(),
    "controls": {"platform"},
    "sequence": {"platform", "controls"},
    "image": {"platform"},
    "camera": {"platform"},
    "camera/simulator": INTERFACES,
    "camera/indi": INTERFACES,
    "guider": {"platform", "camera"},
    "guider/phd2": INTERFACES | {"guider"},
    "devices": INTERFACES | {"guider", "camera/simulator", "camera/indi", "guider/phd2"},
    "link": {"platform"},
    "run": {"platform", "camera", "link", "sequence"},
    "app": {"platform", "controls", "sequence", "image", "camera", "guider", "devices", "link", "run"},
}
# Qt modules a folder's libraries may use at all.
QT_ALLOWED = {
    "platform": {"Core"},
    "controls": {"Core", "Gui", "Widgets"},
    "sequence": {"Core", "Gui", "Widgets"},
    "image": {"Core", "Gui"},
    "camera": {"Core"},
    "camera/simulator": {"Core"},
    "camera/indi": {"Core", "Network"},
    "guider": {"Core"},
    "guider/phd2": {"Core", "Network"},
    "devices": {"Core"},
    "link": {"Core", "Network"},
    "run": {"Core"},
    "app": {"Core", "Gui", "Widgets"},
}
MODEL_ONLY = {"platform"}   # what the sequence model (tandexa_sequence_model) may use
EDITOR_USERS = {"sequence", "app"}   # the only folders that may include the sequence editor
QT_MODULES = ["Core", "Gui", "Widgets", "Network", "Xml", "Test", "DBus", "Concurrent"]

FITS_USERS = {"image"}       # the only folder that may include cfitsio
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def qt_module(header, qt_dir):
    """The Qt module a <...> include belongs to, or None for a non-Qt header."""
    if "/" in header:
        first = header.split("/", 1)[0]
        return first[2:] if first.startswith("Qt") and first[2:] in QT_MODULES else None
    for module in QT_MODULES:
        if os.path.exists(os.path.join(qt_dir, "Qt" + module, header)):
            return module
    return None


def owner(header):
    """The folder (a key of ALLOWED) a "dir/.../file.h" include belongs to, or None."""
    parts = header.split("/")[:-1]
    for n in range(len(parts), 0, -1):
        folder = "/".join(parts[:n])
        if folder in ALLOWED:
            return folder
    return None


def folders(src_dir):
    """Every folder under src that holds sources or a CMakeLists, as paths relative to src."""
    found = []
    for root, dirs, files in os.walk(src_dir):
        dirs.sort()
        rel = os.path.relpath(root, src_dir).replace(os.sep, "/")
        if rel != "." and any(f.endswith((".h", ".cpp", ".txt")) for f in files):
            found.append(rel)
    return found


def libraries(cmake_text):
    """{target: [source files]} and {target: {Qt modules linked}} of one CMakeLists."""
    sources, linked = {}, {}
    for name, body in re.findall(r"add_library\(\s*(\S+)\s+STATIC([^)]*)\)", cmake_text):
        sources[name] = body.split()
    for name, body in re.findall(r"target_link_libraries\(\s*(\S+)([^)]*)\)", cmake_text):
        linked[name] = set(re.findall(r"Qt6::(\w+)", body))
    return sources, linked


def main():
    src_dir = os.path.join(sys.argv[1], "src")
    qt_dir = sys.argv[2]
    problems = []
    seq_cmake = os.path.join(src_dir, "sequence", "CMakeLists.txt")
    model = set(libraries(open(seq_cmake).read())[0].get("tandexa_sequence_model", [])) if os.path.exists(seq_cmake) else set()
    for folder in folders(src_dir):
        path = os.path.join(src_dir, folder)
        if folder not in ALLOWED:
            problems.append(f"src/{folder}: no layering rule for this folder")
            continue
        cmake = os.path.join(path, "CMakeLists.txt")
        sources, linked = libraries(open(cmake).read()) if os.path.exists(cmake) else ({}, {})
        model_files = set(sources.get("tandexa_sequence_model", []))
        used_by_target = {t: set() for t in sources}
        for name in sorted(os.listdir(path)):
            if not name.endswith((".h", ".cpp")):
                continue
            text = open(os.path.join(path, name), encoding="utf-8", errors="replace").read()
            allowed = MODEL_ONLY if name in model_files else ALLOWED[folder]
            modules = set()
            for kind, header in INCLUDE.findall(text):
                if kind == '"' and "/" in header:
                    other = owner(header)
                    if other is None or other == folder:
                        continue
                    if other not in allowed:
                        problems.append(f"src/{folder}/{name}: includes \"{header}\"; {folder} may not use {other}")
                    elif other == "sequence" and folder not in EDITOR_USERS and header.split("/", 1)[1] not in model:
                        problems.append(f"src/{folder}/{name}: includes \"{header}\"; {folder} may use only the sequence model")
                elif kind == '"' and header.startswith("ui_"):
                    modules.add("Widgets")
                elif kind == "<" and header == "fitsio.h" and folder not in FITS_USERS:
                    problems.append(f"src/{folder}/{name}: includes <fitsio.h>; only image may use cfitsio")
                elif kind == "<":
                    module = qt_module(header, qt_dir)
                    if module:
                        modules.add(module)
            for module in sorted(modules - QT_ALLOWED[folder]):
                problems.append(f"src/{folder}/{name}: uses Qt {module}, which {folder} may not use")
            for target, files in sources.items():
                if name in files:
                    used_by_target[target] |= modules
        for target, modules in sorted(linked.items()):
            for module in sorted(modules - used_by_target.get(target, set())):
                problems.append(f"src/{folder}/CMakeLists.txt: {target} links Qt6::{module}, "
                                f"which none of its sources uses")
    for p in problems:
        print(p)
    print(f"{len(problems)} layering problems" if problems else "layering: every folder keeps its rule")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
