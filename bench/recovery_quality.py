#!/usr/bin/env python3
"""How many deleted rows `dunmere decode --table` brings back, and how many of those are right.

Builds a corpus of SQLite files with the system's SQLite library (secure_delete off): tables of
every storage class, with and without a row-id alias, rows that spill to overflow pages, columns
added after rows were written, and deletions of single rows, runs and most of a table. Each file's
deleted rows are the truth. A row counts as recoverable when its distinctive text is still in the
file's bytes; a recovered row is right when every value it gives equals that deleted row's.

Then byte shapes where freed cells are easy to misread, each in files of its own: a REAL or 8-byte
integer first value right behind the freeblock header (whose header-length byte the header took), row
ids of three bytes, neighbours freed in either order (merged into one block), pages emptied row by
row. There a row counts as surviving when its cell's bytes after the first four (which a freeblock
header takes) are still in the file.

    bench/recovery_quality.py build/release/cli/dunmere [--files 40] [--seed 1]
"""
import argparse
import json
import os
import random
import sqlite3
import struct
import subprocess
import sys
import tempfile


def make_file(path, rng):
    alias = rng.random() < 0.6
    page_size = rng.choice([1024, 4096, 8192])
    con = sqlite3.connect(path)
    con.executescript(f"PRAGMA secure_delete=OFF; PRAGMA auto_vacuum=0; PRAGMA page_size={page_size};")
    first = "id INTEGER PRIMARY KEY" if alias else "tag TEXT"
    con.execute(f"CREATE TABLE items ({first}, label TEXT, n INTEGER, big INTEGER, r REAL, data BLOB)")
    columns = 6
    rows = {}
    cells = {}
    count = rng.randint(150, 900)
    added_at = rng.randint(count // 3, count) if rng.random() < 0.4 else None
    for i in range(1, count + 1):
        if added_at is not None and i == added_at:
            con.execute("ALTER TABLE items ADD COLUMN extra TEXT")
            columns = 7
        label = f"row-{i}-" + "x" * rng.randint(0, 40)
        if rng.random() < 0.03:
            label += "L" * rng.randint(page_size, 3 * page_size)  # overflow pages
        values = [i if alias else f"t{i}", label, rng.randint(-100, 100), rng.randint(-2**40, 2**40),
                  rng.random() * 1000, rng.randbytes(rng.randint(0, 12))]
        if columns == 7:
            values.append(f"extra {i}")
        con.execute(f"INSERT INTO items VALUES ({','.join('?' * columns)})", values)
        rows[i] = values
        # The cell as stored: the row id's alias as NULL, rows written before the column was added
        # without it; none for a row too long for its page.
        stored = [None if alias else values[0]] + values[1:]
        cells[i] = cell(i, stored) if len(label) < page_size // 8 else None
    con.commit()
    deleted = set()
    mode = rng.choice(["scattered", "runs", "most"])
    for i in rows:
        if (mode == "scattered" and rng.random() < 0.15) or (mode == "most" and rng.random() < 0.7) or \
                (mode == "runs" and (i // 10) % 5 == 0):
            deleted.add(i)
    for i in sorted(deleted):
        con.execute("DELETE FROM items WHERE label = ?", (rows[i][1],))
    con.commit()
    con.close()
    return alias, {i: rows[i] for i in deleted}, {i: cells[i] for i in deleted}


def varint(v):
    if v < 0:
        v += 1 << 64
    if v > 0x00FFFFFFFFFFFFFF:
        out = [v & 0xFF]
        v >>= 8
        for _ in range(8):
            out.append((v & 0x7F) | 0x80)
            v >>= 7
        return bytes(reversed(out))
    out = [v & 0x7F]
    v >>= 7
    while v:
        out.append((v & 0x7F) | 0x80)
        v >>= 7
    return bytes(reversed(out))


def serial(value):
    if value is None:
        return 0, b""
    if isinstance(value, float):
        return 7, struct.pack(">d", value)
    if isinstance(value, int):
        if value == 0:
            return 8, b""
        if value == 1:
            return 9, b""
        for t, size in ((1, 1), (2, 2), (3, 3), (4, 4), (5, 6), (6, 8)):
            if -(1 << (8 * size - 1)) <= value < (1 << (8 * size - 1)):
                return t, value.to_bytes(size, "big", signed=True)
    if isinstance(value, str):
        data = value.encode()
        return 13 + 2 * len(data), data
    return 12 + 2 * len(value), bytes(value)


def cell(rowid, values):
    """The bytes of a table leaf cell as SQLite writes it (no overflow)."""
    types, body = b"", b""
    for v in values:
        t, data = serial(v)
        types += varint(t)
        body += data
    header = len(types) + 1
    if header >= 128:
        header += 1
    record = varint(header) + types + body
    return varint(len(record)) + varint(rowid) + record


SHAPES = ["first-real", "first-int8", "rowid3", "merged", "emptied"]


def make_shape(path, rng, shape):
    """A file of one byte shape: its deleted rows, and the cell bytes of each (for telling what survives)."""
    page_size = rng.choice([1024, 4096])
    con = sqlite3.connect(path)
    con.executescript(f"PRAGMA secure_delete=OFF; PRAGMA auto_vacuum=0; PRAGMA page_size={page_size};")
    if shape == "first-int8":
        con.execute("CREATE TABLE items (v INTEGER, label TEXT, n INTEGER, t TEXT, k INTEGER, z TEXT)")
    else:
        con.execute("CREATE TABLE items (v REAL, label TEXT, n INTEGER, t TEXT, k INTEGER, z TEXT)")
    first_id = 20000 if shape == "rowid3" else rng.choice([200, 1000, 5000])
    count = rng.randint(200, 700)
    rows = {}
    for rowid in range(first_id, first_id + count):
        if shape == "first-int8":
            v = rng.randint(2**48, 2**62) * rng.choice([1, -1])
        else:
            v = rng.choice([rng.random() * 1e9, 5e8 + rng.random() * 1e8, -rng.random() * 100])
        values = [v, f"row-{rowid}-" + "y" * rng.randint(0, 25), rng.randint(0, 300),
                  rng.choice([None, "", "t" * rng.randint(1, 8)]), rng.randint(-5, 70000), "z" * rng.randint(0, 6)]
        con.execute("INSERT INTO items (rowid, v, label, n, t, k, z) VALUES (?,?,?,?,?,?,?)", [rowid] + values)
        rows[rowid] = values
    con.commit()
    ids = sorted(rows)
    deleted = []
    if shape == "merged":
        # Pairs of neighbours, freed one order or the other: the later one merges into the block of the
        # earlier where it lies behind it.
        for i in range(0, len(ids) - 1, rng.choice([3, 4, 5])):
            pair = [ids[i], ids[i + 1]]
            rng.shuffle(pair)
            deleted += pair
    elif shape == "emptied":
        start = rng.randint(0, len(ids) // 3)
        run = ids[start:start + rng.randint(20, 80)]
        deleted = run[:]
        rng.shuffle(deleted)
    else:
        deleted = [i for i in ids if rng.random() < 0.2]
    for rowid in deleted:
        con.execute("DELETE FROM items WHERE rowid = ?", (rowid,))
    con.commit()
    con.close()
    return {i: rows[i] for i in deleted}, {i: cell(i, rows[i]) for i in deleted}


def shape_score(args, folder, rng, shape, files):
    totals = {"deleted": 0, "recoverable": 0, "found": 0, "out": 0, "right": 0, "repeats": 0}
    for k in range(files):
        path = os.path.join(folder, f"{shape}{k}.db")
        truth, cells = make_shape(path, rng, shape)
        with open(path, "rb") as f:
            data = f.read()
        surviving = {i for i, c in cells.items() if c[4:] in data}
        by_label = {v[1]: i for i, v in truth.items()}
        found = set()
        for row in deleted_rows(args.dunmere, path):
            totals["out"] += 1
            values = row["values"]
            i = by_label.get(values[1]) if len(values) > 1 else None
            if i is None or not all(same(values[c], truth[i][c]) for c in range(6)):
                if args.verbose:
                    print(f"  {shape}{k}: wrong {values}", file=sys.stderr)
                continue
            totals["right"] += 1
            if i in found:
                totals["repeats"] += 1
            found.add(i)
        if args.verbose:
            for i in sorted(surviving - found):
                print(f"  {shape}{k}: missed {i} {truth[i]}", file=sys.stderr)
        totals["deleted"] += len(truth)
        totals["recoverable"] += len(surviving)
        totals["found"] += len(found & surviving)
    recall = totals["found"] / max(1, totals["recoverable"])
    precision = totals["right"] / max(1, totals["out"])
    print(f"shape {shape:<10}  deleted {totals['deleted']}  surviving {totals['recoverable']}  found {totals['found']} "
          f"({100 * recall:.1f} %)  output {totals['out']}, right {totals['right']} (precision {100 * precision:.1f} %), "
          f"repeats {totals['repeats']}")
    return totals


def make_log(path, rng):
    """A database whose last changes are in its write-ahead log: rows of "t" rewritten and deleted, a
    counter rewritten by every transaction, rows added to "v" (which may take pages "t" freed), and
    "u", which the log never touches. Returns the last version of each deleted row of t."""
    work = path + ".work"
    con = sqlite3.connect(work, isolation_level=None)
    con.executescript("PRAGMA page_size=4096; PRAGMA secure_delete=OFF; PRAGMA journal_mode=WAL; "
                      "PRAGMA wal_autocheckpoint=0;")
    for table in ("t", "u", "v", "counter"):
        con.execute(f"CREATE TABLE {table} (id INTEGER PRIMARY KEY, label TEXT, n INTEGER, body TEXT)")
    label = {}
    for i in range(1, rng.randint(300, 900)):
        label[i] = f"t-{i}-v0"
        con.execute("INSERT INTO t VALUES (?, ?, ?, ?)", (i, label[i], i, "x" * rng.randint(10, 80)))
        con.execute("INSERT INTO u VALUES (?, ?, ?, ?)", (i, f"u-{i}", i, "y" * rng.randint(10, 80)))
    con.execute("INSERT INTO counter VALUES (1, 'c-0', 0, '')")
    con.execute("PRAGMA wal_checkpoint(TRUNCATE)")
    # A row rewritten and deleted in one transaction never had its last version written: the truth is
    # the version the last commit before left.
    committed = dict(label)
    gone = {}
    ids = sorted(label)
    for step in range(rng.randint(20, 60)):
        con.execute("BEGIN")
        con.execute("UPDATE counter SET label = ?, n = ? WHERE id = 1", (f"c-{step + 1}", step + 1))
        for i in rng.sample(ids, min(len(ids), rng.randint(1, 6))):
            if i in gone:
                continue
            k = int(label[i].rsplit("v", 1)[1]) + 1
            label[i] = f"t-{i}-v{k}"
            con.execute("UPDATE t SET label = ? WHERE id = ?", (label[i], i))
        if rng.random() < 0.5:
            start = rng.choice(ids)
            for i in ids[ids.index(start):ids.index(start) + rng.randint(1, 40)]:
                if i not in gone:
                    gone[i] = committed[i]
                    con.execute("DELETE FROM t WHERE id = ?", (i,))
        for _ in range(rng.randint(0, 10)):
            con.execute("INSERT INTO v (label, n, body) VALUES (?, 0, ?)", (f"v-{step}", "z" * rng.randint(10, 80)))
        con.execute("COMMIT")
        committed = dict(label)
    # The files as they are while the database is open: its log not yet checkpointed.
    with open(work, "rb") as src, open(path, "wb") as dst:
        dst.write(src.read())
    with open(work + "-wal", "rb") as src, open(path + "-wal", "wb") as dst:
        dst.write(src.read())
    con.close()
    return gone  # the version a log frame or the file holds of each deleted row


def log_score(args, folder, rng, files):
    totals = {"deleted": 0, "found": 0, "wrong": 0, "repeats": 0, "foreign": 0, "older": 0, "marked": 0}
    for k in range(files):
        path = os.path.join(folder, f"log{k}.db")
        gone = make_log(path, rng)
        by_label = {v: i for i, v in gone.items()}
        seen = set()
        for table in ("t", "u", "v", "counter"):
            for row in deleted_rows(args.dunmere, path, table):
                label = row["values"][1]
                if table != "t" or not str(label).startswith("t-"):
                    # Older versions of the counter's live row are marked as such; anything else is
                    # credited to a table that never held it.
                    if table == "counter" and row.get("olderVersion"):
                        totals["older"] += 1
                    else:
                        totals["foreign"] += 1
                    continue
                if row.get("olderVersion"):
                    totals["marked"] += 1  # a version of a row, not a deleted record of its own
                    continue
                i = by_label.get(label)
                if i is None:
                    totals["wrong"] += 1  # an older version shown as a deletion
                    continue
                if i in seen:
                    totals["repeats"] += 1
                seen.add(i)
        totals["deleted"] += len(gone)
        totals["found"] += len(seen)
    print(f"log: deleted {totals['deleted']}, found {totals['found']} "
          f"({100 * totals['found'] / max(1, totals['deleted']):.1f} %), older versions shown as deletions "
          f"{totals['wrong']}, repeats {totals['repeats']}, rows credited to a table that never held them "
          f"{totals['foreign']}, older versions of the counter's live row {totals['older']}, "
          f"other versions marked as such {totals['marked']}")
    return totals


def deleted_rows(dunmere, path, table="items"):
    """The deleted rows `dunmere decode --json` gives of one table."""
    out = json.loads(subprocess.run([dunmere, "decode", path, "--table", table, "--json"],
                                    capture_output=True, check=True, text=True).stdout)
    return [row for row in out["rows"] if row["deleted"]]


def same(value, truth):
    if value is None:
        return True  # a lost value is no wrong one
    if isinstance(truth, bytes):
        return value == "X'" + truth.hex().upper() + "'"
    if isinstance(truth, float):
        return isinstance(value, (int, float)) and abs(value - truth) < 1e-9 * max(1.0, abs(truth))
    return value == truth


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("dunmere")
    parser.add_argument("--files", type=int, default=40)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--shape-files", type=int, default=12)
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args()
    rng = random.Random(args.seed)
    totals = {"deleted": 0, "recoverable": 0, "found": 0, "out": 0, "right": 0, "surviving": 0, "foundSurviving": 0}
    with tempfile.TemporaryDirectory() as folder:
        for k in range(args.files):
            path = os.path.join(folder, f"f{k}.db")
            alias, truth, truth_cells = make_file(path, rng)
            with open(path, "rb") as f:
                data = f.read()
            by_label = {v[1]: (i, v) for i, v in truth.items()}
            recoverable = {i for i, v in truth.items() if v[1].encode()[:40] in data}
            surviving = {i for i, c in truth_cells.items() if c is not None and c[4:] in data}
            found = set()
            for row in deleted_rows(args.dunmere, path):
                totals["out"] += 1
                values = row["values"]
                match = by_label.get(values[1]) if len(values) > 1 else None
                if match is None:
                    continue
                i, v = match
                extra = values[6] if len(values) > 6 else None
                if all(same(values[c], v[c]) for c in range(6)) and \
                        (extra is None if len(v) == 6 else same(extra, v[6])):
                    totals["right"] += 1
                    found.add(i)
            totals["deleted"] += len(truth)
            totals["recoverable"] += len(recoverable)
            totals["found"] += len(found & recoverable)
            totals["surviving"] += len(surviving)
            totals["foundSurviving"] += len(found & surviving)
        shapes = [shape_score(args, folder, rng, shape, args.shape_files) for shape in SHAPES]
        log_score(args, folder, rng, args.shape_files)
    recall = totals["found"] / max(1, totals["recoverable"])
    precision = totals["right"] / max(1, totals["out"])
    found = sum(t["found"] for t in shapes)
    surviving = sum(t["recoverable"] for t in shapes)
    out = sum(t["out"] for t in shapes)
    right = sum(t["right"] for t in shapes)
    print(f"shapes: surviving {surviving}, found {found} ({100 * found / max(1, surviving):.1f} %), output {out}, "
          f"right {right} (precision {100 * right / max(1, out):.1f} %), repeats {sum(t['repeats'] for t in shapes)}")
    print(f"files {args.files}  deleted {totals['deleted']}  recoverable {totals['recoverable']}  "
          f"found {totals['found']} ({100 * recall:.1f} % of recoverable, "
          f"{100 * totals['found'] / max(1, totals['deleted']):.1f} % of deleted)  "
          f"output {totals['out']}, right {totals['right']} (precision {100 * precision:.1f} %); "
          f"of the {totals['surviving']} whose cell survives but its first four bytes, {totals['foundSurviving']} "
          f"({100 * totals['foundSurviving'] / max(1, totals['surviving']):.1f} %)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
