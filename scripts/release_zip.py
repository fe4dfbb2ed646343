#!/usr/bin/env python3
"""release_zip.py <zip> <folder name> <unix time> <file>...: writes a zip that
holds one folder with the files in the order given, each stored under its
base name. Entry order, modes and time stamps are fixed (every entry carries
the given time as UTC), so the same files and time give the same bytes on any
machine, whatever its time zone and umask."""
import os
import sys
import time
import zipfile

DOS_DIRECTORY = 0x10
UNIX_SYSTEM = 3


def entry(name, when, mode):
    info = zipfile.ZipInfo(name, date_time=when)
    info.create_system = UNIX_SYSTEM
    info.external_attr = mode << 16
    if name.endswith("/"):
        info.external_attr |= DOS_DIRECTORY
        info.compress_type = zipfile.ZIP_STORED
    else:
        info.compress_type = zipfile.ZIP_DEFLATED
    return info


def main(args):
    if len(args) < 4:
        sys.stderr.write(__doc__.split("\n\n")[0] + "\n")
        return 2
    path, folder, epoch, files = args[0], args[1], int(args[2]), args[3:]
    # Zip times have two-second steps and begin in 1980.
    when = time.gmtime(max(epoch, 315532800))[:6]
    with zipfile.ZipFile(path, "w") as archive:
        archive.writestr(entry(folder + "/", when, 0o40755), b"")
        for name in files:
            with open(name, "rb") as f:
                data = f.read()
            archive.writestr(entry(folder + "/" + os.path.basename(name), when, 0o100644), data,
                             compresslevel=9)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
