#!/usr/bin/env python3
"""Writes starting points for the backup-files fuzzer into the folder given: an XML Info.plist, a
binary property list with nesting, and a Manifest.mbdb of two records."""
import datetime
import os
import plistlib
import struct
import sys

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
info = {"Display Name": "Seed iPhone", "Last Backup Date": datetime.datetime(2020, 1, 1), "Phone Number": "+1 555",
        "Product Version": "9.3", "Serial Number": "S1"}
with open(os.path.join(out, "info.xml"), "wb") as f:
    f.write(plistlib.dumps(info))
with open(os.path.join(out, "info.bplist"), "wb") as f:
    f.write(plistlib.dumps(info, fmt=plistlib.FMT_BINARY))
with open(os.path.join(out, "manifest.bplist"), "wb") as f:
    f.write(plistlib.dumps({"IsEncrypted": True, "Nested": [{"a": [1, 2, {"b": "c"}]}]}, fmt=plistlib.FMT_BINARY))


def text(value):
    data = value.encode()
    return struct.pack(">H", len(data)) + data


def record(domain, path):
    absent = b"\xff\xff"
    return (text(domain) + text(path) + absent * 3 + struct.pack(">H", 0o100644) + b"\0" * (8 + 4 * 5 + 8 + 1) +
            b"\x01" + text("key") + text("value"))


with open(os.path.join(out, "manifest.mbdb"), "wb") as f:
    f.write(b"mbdb\x05\x00" + record("HomeDomain", "Library/SMS/sms.db") + record("CameraRollDomain", "Media/a.jpg"))
