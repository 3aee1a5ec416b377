#!/usr/bin/env python3
"""Pack a folder into a zip file that is the same, byte for byte, every time.

    make-zip.py FOLDER OUTPUT.zip

The zip holds FOLDER itself (its name is the top folder of the archive) with everything in it:
entries sorted by path, folders before what they hold, every entry stamped with one fixed
time, files deflated at the highest level, MS-DOS attributes.

Names are stored for unzippers that know nothing of UTF-8. Windows' own zip folder (Windows 7
at least) and many other unzippers ignore the UTF-8 flag (general purpose bit 11) and read a
name in the system's legacy code page, which on Chinese Windows is 936. So every entry's name
field, in the local header and in the central directory, is the name in GBK (code page 936),
without the flag; a name GBK cannot store stops the run with the file's name. Each entry whose
name is not plain ASCII also carries the name in UTF-8 in an Info-ZIP Unicode Path extra field
(id 0x7075: version 1, the CRC-32 of the GBK name, the UTF-8 name) in both headers, which
unzippers that know it (Info-ZIP's unzip among them) show whatever their code page.

The zip is written here, not by the zipfile module, which stores a name either in ASCII or in
UTF-8 with the flag. The time is SOURCE_DATE_EPOCH when that is set (scripts/package.sh sets it
to the time of the last commit), else 1 January 2000: the same sources give the same bytes.

Standard library only.
"""

import os
import struct
import sys
import time
import zlib

LEGACY_ENCODING = "gbk"
UNICODE_PATH = 0x7075
VERSION = 20  # 2.0: folders and deflate; made by MS-DOS (high byte 0)
STORED, DEFLATED = 0, 8
MSDOS_DIRECTORY = 0x10
MSDOS_ARCHIVE = 0x20
LIMIT_32 = 0xFFFFFFFF  # no Zip64 here: sizes and offsets must fit in 32 bits


class ZipError(Exception):
    pass


def stamp():
    epoch = os.environ.get("SOURCE_DATE_EPOCH", "")
    # A zip time has two-second steps and no zone: the UTC time, rounded down.
    t = time.gmtime(int(epoch)) if epoch else time.struct_time((2000, 1, 1, 0, 0, 0, 5, 1, 0))
    return (max(t.tm_year, 1980), t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec - t.tm_sec % 2)


def dos_time(when):
    year, month, day, hour, minute, second = when
    return (hour << 11) | (minute << 5) | (second // 2), ((year - 1980) << 9) | (month << 5) | day


def entries(folder):
    """(archive name, path, is folder) for the folder and everything in it, sorted by name."""
    base = os.path.dirname(os.path.abspath(folder))
    found = []
    for root, dirs, files in os.walk(folder):
        found.append((os.path.relpath(root, base).replace(os.sep, "/") + "/", root, True))
        for name in files:
            path = os.path.join(root, name)
            found.append((os.path.relpath(path, base).replace(os.sep, "/"), path, False))
    return sorted(found, key=lambda e: e[0].encode("utf-8", "surrogateescape"))


def name_fields(name, path):
    """The legacy (GBK) name bytes and the extra field that carries the name in UTF-8."""
    try:
        legacy = name.encode(LEGACY_ENCODING)
        utf8 = name.encode("utf-8")
    except UnicodeEncodeError as error:
        character = error.object[error.start : error.end]
        raise ZipError("%s: its name holds %r, which code page 936 (GBK) cannot store: Chinese Windows "
                       "could not show the name; rename the file" % (path, character))
    if name.isascii():
        return legacy, b""
    data = struct.pack("<BI", 1, zlib.crc32(legacy)) + utf8
    return legacy, struct.pack("<HH", UNICODE_PATH, len(data)) + data


def write_zip(folder, output, when):
    time_field, date_field = dos_time(when)
    listed = entries(folder)
    names = [name_fields(name, path) for name, path, _ in listed]  # all checked before a byte is written
    central = []
    with open(output, "wb") as archive:
        for (name, path, is_folder), (legacy, extra) in zip(listed, names):
            if is_folder:
                content, method, attributes = b"", STORED, MSDOS_DIRECTORY
                packed = b""
            else:
                with open(path, "rb") as source:
                    content = source.read()
                method, attributes = DEFLATED, MSDOS_ARCHIVE
                deflate = zlib.compressobj(9, zlib.DEFLATED, -15)
                packed = deflate.compress(content) + deflate.flush()
            offset = archive.tell()
            if max(len(content), len(packed), offset) > LIMIT_32:
                raise ZipError("%s: too big for a zip without Zip64" % path)
            # Version needed, flags (none: sizes known, no UTF-8 flag), method, time, date, CRC,
            # sizes, name and extra lengths: the local header's and the central directory's alike.
            common = struct.pack("<HHHHHIIIHH", VERSION, 0, method, time_field, date_field,
                                 zlib.crc32(content), len(packed), len(content), len(legacy), len(extra))
            archive.write(b"PK\x03\x04" + common + legacy + extra + packed)
            # Version made by, then after the common part: comment length, disk, internal and
            # external attributes, where the local header is.
            central.append(b"PK\x01\x02" + struct.pack("<H", VERSION) + common +
                           struct.pack("<HHHII", 0, 0, 0, attributes, offset) + legacy + extra)
        start = archive.tell()
        for record in central:
            archive.write(record)
        size = archive.tell() - start
        if len(central) > 0xFFFF or archive.tell() > LIMIT_32:
            raise ZipError("%s: too many entries or too big for a zip without Zip64" % folder)
        # This disk, the central directory's disk, its entries here and in all, its size, its
        # offset, no comment.
        count = len(central)
        archive.write(b"PK\x05\x06" + struct.pack("<HHHHIIH", 0, 0, count, count, size, start, 0))


def main(argv):
    if len(argv) != 3 or not os.path.isdir(argv[1]):
        sys.stderr.write("usage: make-zip.py FOLDER OUTPUT.zip\n")
        return 2
    temporary = argv[2] + ".tmp"
    try:
        write_zip(argv[1], temporary, stamp())
    except ZipError as fault:
        if os.path.exists(temporary):
            os.remove(temporary)
        sys.stderr.write("make-zip.py: %s\n" % fault)
        return 1
    # Renamed into place only when whole: an interrupted run leaves no half zip.
    os.replace(temporary, argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
