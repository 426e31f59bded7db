#!/usr/bin/env python3
"""How many deleted rows `dunmere decode --table` brings back, and how many of those are right.

Builds a corpus of SQLite files with the system's SQLite library (secure_delete off): tables of
every storage class, with and without a row-id alias, rows that spill to overflow pages, columns
added after rows were written, and deletions of single rows, runs and most of a table. Each file's
deleted rows are the truth. A row counts as recoverable when its distinctive text is still in the
file's bytes; a recovered row is right when every value it gives equals that deleted row's.

    bench/recovery_quality.py build/release/cli/dunmere [--files 40] [--seed 1]
"""
import argparse
import json
import os
import random
import sqlite3
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
    return alias, {i: rows[i] for i in deleted}


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
    args = parser.parse_args()
    rng = random.Random(args.seed)
    totals = {"deleted": 0, "recoverable": 0, "found": 0, "out": 0, "right": 0}
    with tempfile.TemporaryDirectory() as folder:
        for k in range(args.files):
            path = os.path.join(folder, f"f{k}.db")
            alias, truth = make_file(path, rng)
            with open(path, "rb") as f:
                data = f.read()
            by_label = {v[1]: (i, v) for i, v in truth.items()}
            recoverable = {i for i, v in truth.items() if v[1].encode()[:40] in data}
            out = json.loads(subprocess.run([args.dunmere, "decode", path, "--table", "items", "--json"],
                                            capture_output=True, check=True, text=True).stdout)
            found = set()
            for row in out["rows"]:
                if not row["deleted"]:
                    continue
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
    recall = totals["found"] / max(1, totals["recoverable"])
    precision = totals["right"] / max(1, totals["out"])
    print(f"files {args.files}  deleted {totals['deleted']}  recoverable {totals['recoverable']}  "
          f"found {totals['found']} ({100 * recall:.1f} % of recoverable, "
          f"{100 * totals['found'] / max(1, totals['deleted']):.1f} % of deleted)  "
          f"output {totals['out']}, right {totals['right']} (precision {100 * precision:.1f} %)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
