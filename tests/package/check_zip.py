#!/usr/bin/env python3
"""Checks the download's zip as a Windows user meets it, before anything is unpacked.

    check_zip.py ZIP SAMPLES_DIR VERSION

What it holds (one folder LZVantor-VERSION with both programs, 使用说明.txt and Optimal\\ with
every sample scheme, byte for byte), how it is stored (sorted entries, one fixed time, UTF-8
names flagged as such, files deflated), and the size limit of each program: 320 KB.
Prints every fault and exits 1 when there is one.
"""

import os
import sys
import zipfile

LIMIT = 320 * 1024
UTF8_FLAG = 0x800


def main(argv):
    if len(argv) != 4:
        sys.stderr.write("usage: check_zip.py ZIP SAMPLES_DIR VERSION\n")
        return 2
    path, samples, version = argv[1:]
    top = "LZVantor-%s/" % version
    faults = []
    with zipfile.ZipFile(path) as archive:
        infos = archive.infolist()
        names = [i.filename for i in infos]
        if names != sorted(names, key=lambda n: n.encode("utf-8")):
            faults.append("entries are not sorted by name")
        if len({i.date_time for i in infos}) != 1:
            faults.append("entries carry different times")
        for info in infos:
            if not info.filename.startswith(top):
                faults.append("%s lies outside %s" % (info.filename, top))
            if not info.filename.isascii() and not info.flag_bits & UTF8_FLAG:
                faults.append("%s is not flagged as UTF-8" % info.filename)
            if not info.is_dir() and info.compress_type != zipfile.ZIP_DEFLATED:
                faults.append("%s is not deflated" % info.filename)

        expected = {top, top + "Optimal/", top + "optimizer.exe", top + "lzvtEditor.exe", top + "使用说明.txt"}
        for name in sorted(os.listdir(samples)):
            if name.endswith(".lzvt"):
                expected.add(top + "Optimal/" + name)
                with open(os.path.join(samples, name), "rb") as sample:
                    if top + "Optimal/" + name in names and archive.read(top + "Optimal/" + name) != sample.read():
                        faults.append("Optimal/%s differs from samples/%s" % (name, name))
        for missing in sorted(expected - set(names)):
            faults.append("missing: " + missing)
        for extra in sorted(set(names) - expected):
            faults.append("not expected: " + extra)

        for exe in ("optimizer.exe", "lzvtEditor.exe"):
            if top + exe in names:
                size = archive.getinfo(top + exe).file_size
                print("%s: %d bytes (limit %d)" % (exe, size, LIMIT))
                if size > LIMIT:
                    faults.append("%s is %d bytes, over the limit of %d (320 KB)" % (exe, size, LIMIT))
                if archive.read(top + exe)[:2] != b"MZ":
                    faults.append("%s is not a Windows program" % exe)

        if top + "使用说明.txt" in names:
            text = archive.read(top + "使用说明.txt")
            if not text.startswith(b"\xef\xbb\xbf"):
                faults.append("使用说明.txt has no UTF-8 byte-order mark")
            body = text[3:].decode("utf-8", errors="replace")
            if "\n" in body.replace("\r\n", ""):
                faults.append("使用说明.txt has a line that does not end in CR LF")
            for needed in (version, "optimizer.exe", "Undo", "reg import"):
                if needed not in body:
                    faults.append("使用说明.txt does not mention " + needed)

    for fault in faults:
        print("FAULT: " + fault)
    print("zip: %d entries, %s" % (len(names), "as it should be" if not faults else "%d faults" % len(faults)))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
