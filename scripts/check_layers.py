#!/usr/bin/env python3
"""Checks the layering of the source tree.

Each folder of the program is one library, declared with orvix_layer() in the
folder's CMakeLists.txt; its USES name the libraries it may include and call.
This check fails when
  * a file includes a header of a folder that its library neither is nor
    uses (directly or through the libraries it uses), or
  * a portable file (not named *_win.* or win_*) of a program folder
    includes a Windows header.
  * the layer picture in README.md does not list exactly these uses.
Tests and tools are not checked: they sit on top of everything.

    check_layers.py [SOURCE_DIR]
"""
import os
import re
import sys

FOLDERS = ["text", "resources", "html", "parser", "store", "net", "quota", "tasks", "app"]
WINDOWS_HEADERS = {
    "windows.h", "wininet.h", "winhttp.h", "objbase.h", "oaidl.h", "ole2.h", "oleauto.h", "gdiplus.h",
    "mmsystem.h", "commctrl.h", "shlobj.h", "shellapi.h", "winsock2.h", "winuser.h", "wingdi.h",
    "winbase.h", "windef.h", "winnt.h", "tchar.h", "process.h", "io.h", "direct.h",
}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
LAYER = re.compile(r"orvix_layer\(\s*(\w+)(.*?)\)", re.S)


def read_layers(root):
    """{library: (folder, [used libraries])}"""
    layers = {}
    for folder in FOLDERS:
        path = os.path.join(root, folder, "CMakeLists.txt")
        with open(path, encoding="utf-8") as f:
            text = re.sub(r"#.*", "", f.read())
        for m in LAYER.finditer(text):
            words = m.group(2).split()
            uses, keyword = [], None
            for w in words:
                if w in ("PORTABLE", "WINDOWS", "NATIVE", "USES", "SYSTEM"):
                    keyword = w
                elif keyword == "USES":
                    uses.append(w)
            layers[m.group(1)] = (folder, uses)
    return layers


def allowed_folders(layers):
    """{folder: set of folders its library may include}"""
    by_folder = {}
    for lib, (folder, _) in layers.items():
        by_folder.setdefault(folder, []).append(lib)
    result = {}
    for folder, libs in by_folder.items():
        seen, todo = set(), list(libs)
        while todo:  # the transitive closure, without recursion
            lib = todo.pop()
            if lib in seen or lib not in layers:
                continue
            seen.add(lib)
            todo.extend(layers[lib][1])
        result[folder] = {layers[lib][0] for lib in seen}
    return result


def readme_problems(root, layers):
    """The picture in README.md names each library and what it uses."""
    try:
        with open(os.path.join(root, "README.md"), encoding="utf-8") as f:
            text = f.read()
    except OSError:
        return ["README.md: missing"]
    pictured = {}
    for m in re.finditer(r"^\s+(\w+)\s+(?:──►\s*([\w, ]+)|\((nothing|system libraries only)\))\s*$", text, re.M):
        pictured["orvix_" + m.group(1)] = sorted("orvix_" + u.strip() for u in (m.group(2) or "").split(",") if u.strip())
    problems = []
    for lib, (_, uses) in sorted(layers.items()):
        if pictured.get(lib) != sorted(uses):
            problems.append(f"README.md: the layer picture shows {lib} using {pictured.get(lib)}, CMake says {sorted(uses)}")
    return problems


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    layers = read_layers(root)
    unknown = sorted({u for _, uses in layers.values() for u in uses if u not in layers})
    problems = [f"CMake: unknown library {u} in USES" for u in unknown]
    problems += readme_problems(root, layers)
    allowed = allowed_folders(layers)
    checked = 0
    for folder in FOLDERS:
        for dirpath, _, files in os.walk(os.path.join(root, folder)):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(dirpath, name)
                rel = os.path.relpath(path, root)
                portable = "_win." not in name and not name.startswith("win_")
                checked += 1
                with open(path, encoding="utf-8") as f:
                    for m in INCLUDE.finditer(f.read()):
                        kind, header = m.groups()
                        if kind == "<":
                            if portable and header.lower() in WINDOWS_HEADERS:
                                problems.append(f"{rel}: portable file includes <{header}>")
                            continue
                        top = header.split("/")[0]
                        if top in FOLDERS and top not in allowed.get(folder, {folder}):
                            problems.append(f"{rel}: {folder}/ may not include {header}")
    for p in problems:
        print(p)
    print(f"check_layers: {checked} files, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
