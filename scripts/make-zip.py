#!/usr/bin/env python3
"""Pack a folder into a zip file that is the same, byte for byte, every time.

    make-zip.py FOLDER OUTPUT.zip

The zip holds FOLDER itself (its name is the top folder of the archive) with everything in it:
entries sorted by path, folders before what they hold, every entry stamped with one fixed
time, files deflated at the highest level. File names are stored as UTF-8 with the flag that
says so (general purpose bit 11), so that Chinese names reach the user as they were written.
The time is SOURCE_DATE_EPOCH when that is set (scripts/package.sh sets it to the time of the
last commit), else 1 January 2000: the same sources give the same bytes.

Standard library only.
"""

import os
import sys
import time
import zipfile

UTF8_FLAG = 0x800
MSDOS_DIRECTORY = 0x10
MSDOS_ARCHIVE = 0x20


def stamp():
    epoch = os.environ.get("SOURCE_DATE_EPOCH", "")
    # A zip time has two-second steps and no zone: the UTC time, rounded down.
    t = time.gmtime(int(epoch)) if epoch else time.struct_time((2000, 1, 1, 0, 0, 0, 5, 1, 0))
    return (max(t.tm_year, 1980), t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec - t.tm_sec % 2)


def entries(folder):
    """(archive name, path, is folder) for the folder and everything in it, sorted by name."""
    base = os.path.dirname(os.path.abspath(folder))
    found = []
    for root, dirs, files in os.walk(folder):
        found.append((os.path.relpath(root, base).replace(os.sep, "/") + "/", root, True))
        for name in files:
            path = os.path.join(root, name)
            found.append((os.path.relpath(path, base).replace(os.sep, "/"), path, False))
    return sorted(found, key=lambda e: e[0].encode("utf-8"))


def main(argv):
    if len(argv) != 3 or not os.path.isdir(argv[1]):
        sys.stderr.write("usage: make-zip.py FOLDER OUTPUT.zip\n")
        return 2
    when = stamp()
    temporary = argv[2] + ".tmp"
    with zipfile.ZipFile(temporary, "w") as archive:
        for name, path, is_folder in entries(argv[1]):
            info = zipfile.ZipInfo(name, date_time=when)
            info.create_system = 0  # MS-DOS attributes, as Windows reads them
            info.flag_bits |= UTF8_FLAG
            if is_folder:
                info.external_attr = MSDOS_DIRECTORY
                archive.writestr(info, b"")
            else:
                info.external_attr = MSDOS_ARCHIVE
                info.compress_type = zipfile.ZIP_DEFLATED
                with open(path, "rb") as source:
                    archive.writestr(info, source.read(), compresslevel=9)
    # Renamed into place only when whole: an interrupted run leaves no half zip.
    os.replace(temporary, argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
