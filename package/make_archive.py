#!/usr/bin/env python3
"""Writes the release archive so that the same files always give the same bytes.

Usage: make_archive.py ZIP EPOCH FOLDER FILE...

ZIP holds the entry FOLDER/ and then FOLDER/NAME for each FILE, in the order of their names.
Nothing of the machine or the moment goes in: every entry carries the date of EPOCH (seconds
since 1970, read as UTC and held to the range a zip date can express), fixed Unix permissions
(0755 for the folder, 0644 for files) and no extra fields. Entries are stored uncompressed,
so the bytes depend on the files alone and not on the version of the compression library.
ZIP.sha256 is written beside it in sha256sum's format.
"""

import hashlib
import os
import sys
import time
import zipfile

ZIP_FIRST_YEAR = 1980  # the zip date fields count years from 1980
ZIP_LAST_YEAR = 2107
UNIX_SYSTEM = 3  # "made on" field: Unix, so that unzip applies the permissions
FOLDER_MODE = 0o40755
FILE_MODE = 0o100644
MSDOS_FOLDER_BIT = 0x10


def zip_date(epoch):
    """The zip entry date of epoch in UTC, clamped to the years a zip date can express."""
    date = time.gmtime(epoch)[:6]
    if date[0] < ZIP_FIRST_YEAR:
        return (ZIP_FIRST_YEAR, 1, 1, 0, 0, 0)
    if date[0] > ZIP_LAST_YEAR:
        return (ZIP_LAST_YEAR, 12, 31, 23, 59, 58)
    return date


def entry(name, date, mode):
    """A stored entry named name with the given date and Unix mode, made on Unix."""
    info = zipfile.ZipInfo(name, date)
    info.compress_type = zipfile.ZIP_STORED
    info.create_system = UNIX_SYSTEM
    info.external_attr = mode << 16
    return info


def write_archive(path, epoch, folder, files):
    """Writes path (through a temporary file, so a failed run leaves no partial archive)."""
    date = zip_date(epoch)
    partial = path + ".partial"
    with zipfile.ZipFile(partial, "w") as archive:
        folder_entry = entry(folder + "/", date, FOLDER_MODE)
        folder_entry.external_attr |= MSDOS_FOLDER_BIT
        archive.writestr(folder_entry, b"")
        for file in sorted(files, key=os.path.basename):
            with open(file, "rb") as source:
                data = source.read()
            name = folder + "/" + os.path.basename(file)
            archive.writestr(entry(name, date, FILE_MODE), data)
    os.replace(partial, path)


def write_checksum(path):
    """Writes path.sha256 as sha256sum does, naming the archive without its folder."""
    with open(path, "rb") as archive:
        digest = hashlib.sha256(archive.read()).hexdigest()
    with open(path + ".sha256", "w", encoding="ascii", newline="\n") as out:
        out.write(f"{digest}  {os.path.basename(path)}\n")
    return digest


def main(argv):
    """Checks the arguments, writes the archive and its checksum; 0 on success."""
    if len(argv) < 5 or not argv[2].lstrip("-").isdigit():
        sys.stderr.write("usage: make_archive.py ZIP EPOCH FOLDER FILE...\n")
        return 2
    path, epoch, folder, files = argv[1], int(argv[2]), argv[3], argv[4:]
    write_archive(path, epoch, folder, files)
    digest = write_checksum(path)
    print(f"Release: {path} (sha256 {digest})")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
