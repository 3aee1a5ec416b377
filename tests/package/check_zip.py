#!/usr/bin/env python3
"""Checks the download's zip as a Windows user meets it, before anything is unpacked.

    check_zip.py ZIP SAMPLES_DIR VERSION

What it holds (one folder LZVantor-VERSION with both programs, 使用说明.txt and Optimal\\ with
every sample scheme, byte for byte), how it is stored (sorted entries, one fixed time, files
deflated), and the size limit of each program: 320 KB.

Names as unzippers show them: each name field (central directory and local header) is the name
in GBK, code page 936, which Chinese Windows' zip folder reads, without the UTF-8 flag that
such unzippers ignore; a name that is not plain ASCII also carries an Info-ZIP Unicode Path
field (0x7075: version 1, the CRC-32 of the GBK name, the name in UTF-8) in both headers; and
Info-ZIP's own unzip, under a UTF-8 locale, lists every name as it is meant.
Prints every fault and exits 1 when there is one.
"""

import os
import struct
import subprocess
import sys
import zipfile
import zlib

LIMIT = 320 * 1024
UTF8_FLAG = 0x800
UNICODE_PATH = 0x7075


def extra_fields(extra):
    """{header id: data} of an extra field, or None when its blocks do not add up."""
    fields = {}
    while extra:
        if len(extra) < 4:
            return None
        kind, size = struct.unpack_from("<HH", extra)
        if len(extra) < 4 + size:
            return None
        fields[kind] = extra[4 : 4 + size]
        extra = extra[4 + size :]
    return fields


def local_header(archive_file, info):
    """(flags, name bytes, extra) of an entry's local header, or None when there is none."""
    archive_file.seek(info.header_offset)
    head = archive_file.read(30)
    if len(head) < 30 or head[:4] != b"PK\x03\x04":
        return None
    (flags,) = struct.unpack_from("<H", head, 6)
    name_length, extra_length = struct.unpack_from("<HH", head, 26)
    return flags, archive_file.read(name_length), archive_file.read(extra_length)


def name_faults(name, legacy, flags, extra, header):
    """What keeps an unzipper from showing the name from one header: GBK name bytes, no UTF-8
    flag, and for a name that is not plain ASCII the Unicode Path field of that name."""
    faults = []
    if flags & UTF8_FLAG:
        faults.append("%s: the %s flags its name as UTF-8, which Windows' zip folder ignores" % (name, header))
    if legacy.isascii():
        return faults
    fields = extra_fields(extra)
    if fields is None:
        return faults + ["%s: the %s has a broken extra field" % (name, header)]
    unicode_path = fields.get(UNICODE_PATH, b"")
    if len(unicode_path) < 5:
        return faults + ["%s: the %s has no Unicode Path field (0x7075)" % (name, header)]
    version, crc = struct.unpack_from("<BI", unicode_path)
    if version != 1:
        faults.append("%s: the %s's Unicode Path field has version %d, not 1" % (name, header, version))
    if crc != zlib.crc32(legacy):
        faults.append("%s: the %s's Unicode Path field has the CRC of another name" % (name, header))
    utf8 = unicode_path[5:]
    if utf8 != name.encode("utf-8"):
        faults.append("%s: the %s's Unicode Path field names %s" % (name, header, utf8.decode("utf-8", "replace")))
    return faults


def names_read(archive_path, infos):
    """Each entry's name as Chinese Windows reads it, and what is wrong with how it is stored."""
    names, faults = [], []
    with open(archive_path, "rb") as archive_file:
        for info in infos:
            # zipfile decodes a name without the flag as cp437, which gives back its bytes.
            legacy = info.orig_filename.encode("utf-8" if info.flag_bits & UTF8_FLAG else "cp437")
            try:
                name = legacy.decode("gbk")
            except UnicodeDecodeError:
                name = info.filename
                faults.append("%s: the name is not GBK: %s" % (name, legacy.hex()))
            names.append(name)
            faults += name_faults(name, legacy, info.flag_bits, info.extra, "central directory")
            local = local_header(archive_file, info)
            if local is None:
                faults.append("%s: no local header at %d" % (name, info.header_offset))
                continue
            local_flags, local_legacy, local_extra = local
            if local_legacy != legacy:
                faults.append("%s: the local header's name differs from the central directory's" % name)
            faults += name_faults(name, local_legacy, local_flags, local_extra, "local header")
    return names, faults


def unzip_listing(archive_path):
    """The names Info-ZIP's unzip lists under a UTF-8 locale, or a fault when it lists none."""
    try:
        listing = subprocess.run(["unzip", "-l", archive_path], env=dict(os.environ, LC_ALL="C.UTF-8"),
                                 capture_output=True, check=True).stdout.decode("utf-8", "replace")
    except (OSError, subprocess.CalledProcessError) as failure:
        return None, "unzip -l failed (scripts/install-deps.sh installs unzip): %s" % failure
    lines = listing.splitlines()
    rules = [i for i, line in enumerate(lines) if line.startswith("---------")]
    if len(rules) < 2:
        return None, "unzip -l printed no listing:\n" + listing
    # Length, date, time, name: a name may hold spaces.
    rows = [line.split(None, 3) for line in lines[rules[0] + 1 : rules[1]]]
    return {row[3] for row in rows if len(row) == 4}, None


def zip_faults(path, samples, version):
    """The entries' names and every fault of the zip."""
    top = "LZVantor-%s/" % version
    with zipfile.ZipFile(path) as archive:
        infos = archive.infolist()
        names, faults = names_read(path, infos)
        entry = dict(zip(names, infos))
        if names != sorted(names, key=lambda n: n.encode("utf-8")):
            faults.append("entries are not sorted by name")
        if len({i.date_time for i in infos}) != 1:
            faults.append("entries carry different times")
        for name, info in zip(names, infos):
            if not name.startswith(top):
                faults.append("%s lies outside %s" % (name, top))
            if not info.is_dir() and info.compress_type != zipfile.ZIP_DEFLATED:
                faults.append("%s is not deflated" % name)

        expected = {top, top + "Optimal/", top + "optimizer.exe", top + "lzvtEditor.exe", top + "使用说明.txt"}
        for name in sorted(os.listdir(samples)):
            if name.endswith(".lzvt"):
                expected.add(top + "Optimal/" + name)
                with open(os.path.join(samples, name), "rb") as sample:
                    if top + "Optimal/" + name in entry and archive.read(entry[top + "Optimal/" + name]) != sample.read():
                        faults.append("Optimal/%s differs from samples/%s" % (name, name))
        for missing in sorted(expected - set(names)):
            faults.append("missing: " + missing)
        for extra in sorted(set(names) - expected):
            faults.append("not expected: " + extra)
        listed, failure = unzip_listing(path)
        faults += [failure] if failure else ["unzip -l does not show " + n for n in sorted(expected - listed)]

        for exe in ("optimizer.exe", "lzvtEditor.exe"):
            if top + exe in entry:
                size = entry[top + exe].file_size
                print("%s: %d bytes (limit %d)" % (exe, size, LIMIT))
                if size > LIMIT:
                    faults.append("%s is %d bytes, over the limit of %d (320 KB)" % (exe, size, LIMIT))
                if archive.read(entry[top + exe])[:2] != b"MZ":
                    faults.append("%s is not a Windows program" % exe)

        if top + "使用说明.txt" in entry:
            text = archive.read(entry[top + "使用说明.txt"])
            if not text.startswith(b"\xef\xbb\xbf"):
                faults.append("使用说明.txt has no UTF-8 byte-order mark")
            body = text[3:].decode("utf-8", errors="replace")
            if "\n" in body.replace("\r\n", ""):
                faults.append("使用说明.txt has a line that does not end in CR LF")
            for needed in (version, "optimizer.exe", "Undo", "reg import"):
                if needed not in body:
                    faults.append("使用说明.txt does not mention " + needed)
    return names, faults


def main(argv):
    if len(argv) != 4:
        sys.stderr.write("usage: check_zip.py ZIP SAMPLES_DIR VERSION\n")
        return 2
    try:
        names, faults = zip_faults(*argv[1:])
    except (zipfile.BadZipFile, UnicodeDecodeError) as failure:
        # zipfile gives up on a flagged name that is no UTF-8, and on a local header whose name
        # differs from the central directory's.
        names, faults = [], ["zipfile cannot read the zip: %s" % failure]
    for fault in faults:
        print("FAULT: " + fault)
    print("zip: %d entries, %s" % (len(names), "as it should be" if not faults else "%d faults" % len(faults)))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
