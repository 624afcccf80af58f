#!/usr/bin/env python3
"""make_zip.py ZIP EPOCH FOLDER NAME...

Packs the files NAME... of FOLDER, in that order, at the top level of ZIP, so
that the same files give the same zip byte for byte: every entry carries the
time EPOCH (seconds since 1970, UTC; the commit's time), the same attributes
(an ordinary file, MS-DOS style) and no extra fields (no owner, no
times of the build machine). Deflated at a fixed level.
"""
import os
import sys
import time
import zipfile

# DOS time stamps cannot go before 1980.
EARLIEST = (1980, 1, 1, 0, 0, 0)
ARCHIVE_ATTRIBUTE = 0x20


def entry(name, epoch):
    stamp = max(EARLIEST, tuple(time.gmtime(epoch)[:6]))
    info = zipfile.ZipInfo(name, date_time=stamp)
    info.create_system = 0
    info.external_attr = ARCHIVE_ATTRIBUTE
    info.compress_type = zipfile.ZIP_DEFLATED
    return info


def main(zip_path, epoch_text, folder, names):
    if not epoch_text.isdigit():
        print(f"make_zip.py: the time {epoch_text!r} is not seconds since 1970", file=sys.stderr)
        return 1
    epoch = int(epoch_text)
    partial = zip_path + ".part"
    try:
        with zipfile.ZipFile(partial, "w", compresslevel=9) as archive:
            for name in names:
                with open(os.path.join(folder, name), "rb") as f:
                    archive.writestr(entry(name, epoch), f.read())
        os.replace(partial, zip_path)
    except OSError as error:
        print(f"make_zip.py: {zip_path}: {error}", file=sys.stderr)
        if os.path.exists(partial):
            os.remove(partial)
        return 1
    return 0


if __name__ == "__main__":
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]))
