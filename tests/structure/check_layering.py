#!/usr/bin/env python3
"""Checks that the source folders keep their layering and that every library
links only the Qt modules its own sources use.

usage: check_layering.py <source dir> <Qt include dir>

Layering: a file under src/<folder> may include headers of the folders listed
for it below (and its own). The sequence model (the files that build
tandexa_sequence_model) uses platform only. Qt modules: a Qt6::X named in a
library's target_link_libraries must be used by an include in that library's
own sources; a library whose sources include a module must be allowed it.
Prints every violation and exits 1 when there is any.
"""
import os
import re
import sys

ALLOWED = {
    "platform": set(),
    "controls": {"platform"},
    "sequence": {"platform", "controls"},
    "camera": {"platform"},
    "link": {"platform"},
    "guider": {"platform", "camera"},
    "run": {"platform", "camera", "link", "sequence"},
    "app": {"platform", "controls", "sequence", "camera", "link", "guider", "run"},
}
# Qt modules a folder's libraries may use at all.
QT_ALLOWED = {
    "platform": {"Core"},
    "controls": {"Core", "Gui", "Widgets"},
    "sequence": {"Core", "Gui", "Widgets"},
    "camera": {"Core", "Network", "Xml"},
    "link": {"Core", "Network"},
    "guider": {"Core", "Network"},
    "run": {"Core"},
    "app": {"Core", "Gui", "Widgets"},
}
MODEL_ONLY = {"platform"}   # what the sequence model (tandexa_sequence_model) may use
EDITOR_USERS = {"sequence", "app"}   # the only folders that may include the sequence editor
QT_MODULES = ["Core", "Gui", "Widgets", "Network", "Xml", "Test", "DBus", "Concurrent"]

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
    for folder in sorted(os.listdir(src_dir)):
        path = os.path.join(src_dir, folder)
        if not os.path.isdir(path):
            continue
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
                    other = header.split("/", 1)[0]
                    if other != folder and other in ALLOWED and other not in allowed:
                        problems.append(f"src/{folder}/{name}: includes \"{header}\"; {folder} may not use {other}")
                    elif other == "sequence" and folder not in EDITOR_USERS and header.split("/", 1)[1] not in model:
                        problems.append(f"src/{folder}/{name}: includes \"{header}\"; {folder} may use only the sequence model")
                elif kind == '"' and header.startswith("ui_"):
                    modules.add("Widgets")
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
