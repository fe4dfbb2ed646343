#!/usr/bin/env python3
"""Size and import report of the Windows exes (figures, not a test): bytes
per section in the file and in memory, and the functions imported per DLL.

Usage: bench/exe_report.py [<exe>...]   (default: the win32 and win64 builds)"""
import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "wine"))
import pe_image  # noqa: E402


def Report(path):
    image = pe_image.read(path)
    print("%s: %d bytes, %s, OS %d.%d, subsystem %d.%d" % (
        os.path.relpath(path, ROOT), os.path.getsize(path), "PE32+" if image.is_64 else "PE32",
        *image.os_version, *image.subsystem_version))
    print("  %-10s %8s %8s" % ("section", "file", "memory"))
    for s in image.sections:
        print("  %-10s %8d %8d" % (s["name"], s["raw_size"], s["virtual_size"]))
    for dll, functions in image.imports():
        print("  %s (%d): %s" % (dll, len(functions), " ".join(functions)))


def main():
    paths = sys.argv[1:] or [os.path.join(ROOT, "build", p, "fix_tamrix.exe")
                             for p in ("win32", "win64")]
    for i, path in enumerate(paths):
        if i:
            print()
        Report(path)


if __name__ == "__main__":
    main()
