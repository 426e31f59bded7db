#!/usr/bin/env python3
"""How many deleted rows each device table's decoder brings back, and how many of those are right.

For every table a category reads and every schema generation of the reference schemas, builds
databases with the system's SQLite library (secure_delete off) at 4, 8, 32 and 64 KiB pages, fills
every column the way the device would (the fields the category shows with known values, the others
with values of their declared type), deletes rows scattered or in one block, and runs
`dunmere decode DB --table T --json`. A deleted row counts as recoverable when its distinctive text
is still in the file's bytes; a recovered row is right when every field the category shows equals
the deleted row's. Live rows must all come back. For comparison, each file is also read with the
table renamed, as a table of no known layout ("any": deleted rows whose distinctive text comes back).

    bench/category_quality.py SCHEMA_DIR build/release/cli/dunmere [--rows 400] [--seed 1]
"""
import argparse
import datetime
import json
import os
import random
import sqlite3
import subprocess
import sys
import tempfile

APPLE = 978307200


def local(unix):  # the program formats dates in local time; the bench runs with TZ=UTC
    return datetime.datetime.utcfromtimestamp(int(unix)).strftime("%Y-%m-%d %H:%M:%S")


def words(rng, n):
    return " ".join(rng.choice(["alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel",
                                "india", "juliet", "kilo", "lima"]) for _ in range(n))


def filler(rng, declared, i):
    t = (declared or "").upper()
    if "INT" in t:
        return rng.choice([0, 0, 1, 2, rng.randint(0, 5000)])
    if any(k in t for k in ("CHAR", "TEXT", "CLOB")):
        return rng.choice([None, words(rng, rng.randint(1, 3)) + f" {i}"])  # unique: some columns must be
    if "BLOB" in t:
        return rng.choice([None, rng.randbytes(rng.randint(1, 24))])
    if any(k in t for k in ("REAL", "FLOA", "DOUB", "TIMESTAMP")):
        return rng.choice([None, rng.random() * 1e8])
    return rng.choice([None, words(rng, 1)])


# table -> (schema files, function making the shown fields and the truth of row i)
def message_row(rng, i, cols):
    ns = "attributedBody" in cols and "date_read" in cols and "is_spam" in cols or "ck_sync_state" in cols
    date = rng.randint(300_000_000, 700_000_000)
    text = f"msg-{i:05d} " + words(rng, rng.randint(2, 30))
    v = {"guid": f"{i:08X}-AAAA-BBBB-CCCC-{rng.randint(0, 16**12 - 1):012X}", "text": text,
         "handle_id": rng.randint(1, 5), "date": date * 1_000_000_000 if ns else date,
         "is_from_me": rng.randint(0, 1), "service": "iMessage", "is_read": 1, "is_delivered": 1, "is_sent": 1}
    return v, text, {"text": text, "handleId": v["handle_id"], "fromMe": v["is_from_me"], "date": local(date + APPLE)}


def early_message_row(rng, i, cols):
    # iOS 5: text messages by address and flags (3 sent, 2 received), seconds from 1970; iMessages by
    # madrid_handle and madrid_flags (36869 sent, 12289 received), seconds from 2001.
    madrid = rng.randint(0, 1)
    date = rng.randint(1_300_000_000, 1_900_000_000)
    text = f"msg-{i:05d} " + words(rng, rng.randint(2, 30))
    sent = rng.randint(0, 1)
    v = {"text": text, "group_id": rng.randint(1, 5), "date": date - APPLE if madrid else date, "is_madrid": madrid,
         "read": 1}
    if madrid:
        v.update({"madrid_handle": f"friend{i % 7}@example.com", "madrid_flags": 36869 if sent else 12289, "flags": 0})
    else:
        v.update({"address": f"+1555{i % 7:07d}", "flags": 3 if sent else 2})
    # The conversation is the other side's: its number or address (the group id names none).
    other = v["madrid_handle"] if madrid else v["address"]
    return v, text, {"text": text, "handle": other, "fromMe": sent, "date": local(date)}


def contact_row(rng, i, cols):
    first = f"First{i:05d}"
    last = rng.choice(["Meyer", "Okafor", "Lindqvist", "Novak"])
    phone = f"+1555{rng.randint(0, 9999999):07d} 555{rng.randint(0, 9999999):07d}" + "9" * rng.randint(0, 60)
    mail = f"{first.lower()}@example.com"
    v = {}
    for c in cols:
        if c.endswith("First"): v[c] = first
        elif c.endswith("Last"): v[c] = last
        elif c.endswith("Organization"): v[c] = rng.choice([None, "Example Ltd"])
        elif c.endswith("Phone"): v[c] = phone
        elif c.endswith("Email"): v[c] = mail
    org = next((v[c] for c in cols if c.endswith("Organization")), None) or ""
    return v, first, {"name": first + " " + last, "phones": phone, "emails": mail, "company": org}


def call_row(rng, i, cols):
    date = rng.randint(1_300_000_000, 1_600_000_000)
    number = f"+4930{i:06d}{rng.randint(0, 999):03d}"
    flags = rng.choice([4, 5])
    v = {"address": number, "date": date, "duration": rng.randint(0, 4000), "flags": flags, "read": 1}
    return v, number, {"number": number, "date": local(date), "duration": v["duration"], "incoming": 0 if flags & 1 else 1}


def zcall_row(rng, i, cols):
    date = rng.randint(300_000_000, 700_000_000) + 0.25
    number = f"+4930{i:06d}{rng.randint(0, 999):03d}"
    v = {"ZADDRESS": number, "ZDATE": date, "ZDURATION": float(rng.randint(0, 4000)), "ZORIGINATED": rng.randint(0, 1),
         "ZANSWERED": 1, "ZREAD": 1, "Z_ENT": 2, "Z_OPT": 1}
    return v, number, {"number": number, "date": local(int(date) + APPLE), "duration": int(v["ZDURATION"]),
                       "incoming": 0 if v["ZORIGINATED"] else 1}


def notebody_row(rng, i, cols):
    text = f"<div>note-{i:05d} " + words(rng, rng.randint(3, 80)) + "</div>"
    return {"ZCONTENT": text, "ZOWNER": i, "Z_ENT": 2, "Z_OPT": 1}, text, {"content": text}


def note_row(rng, i, cols):
    date = rng.randint(300_000_000, 700_000_000)
    title = f"title-{i:05d} " + words(rng, 2)
    v = {"ZTITLE": title, "ZMODIFICATIONDATE": float(date), "ZCREATIONDATE": float(date - 60), "ZBODY": i,
         "ZDELETEDFLAG": 0, "Z_ENT": 1, "Z_OPT": 1}
    return v, title, {"title": title, "date": local(date + APPLE), "noteId": i}


def wa_row(rng, i, cols):
    date = rng.randint(300_000_000, 700_000_000) + 0.5
    text = f"wa-{i:05d} " + words(rng, rng.randint(1, 25))
    v = {"ZTEXT": text, "ZISFROMME": rng.randint(0, 1), "ZMESSAGEDATE": date, "ZCHATSESSION": rng.randint(1, 3),
         "Z_ENT": 9, "Z_OPT": 1, "ZFROMJID": "4915112345678@s.whatsapp.net", "ZSTANZAID": f"{i:016X}"}
    return v, text, {"text": text, "fromMe": v["ZISFROMME"], "chatId": v["ZCHATSESSION"], "date": local(int(date) + APPLE)}


TABLES = [
    ("message", message_row, ["sms_ios6.1.6.sql", "sms_ios9.2.1.sql", "sms_ios10.2.sql", "sms_ios11.2.sql",
                              "sms_ios12.sql", "sms_ios14_15_message_handle_only.sql"]),
    ("message", early_message_row, ["sms_ios5.sql"]),
    ("ABPersonFullTextSearch_content", contact_row, ["addressbook_fts_ios9_RECONSTRUCTED.sql", "addressbook_fts_ios16_17.sql"]),
    ("call", call_row, ["call_history_db_ios6.1.6.sql", "call_history_db_ios9.3.5.sql"]),
    ("ZCALLRECORD", zcall_row, ["callhistory_ios9.3.5.sql", "callhistory_ios10.3.3.sql", "callhistory_ios11.2.sql",
                                "callhistory_ios17.sql"]),
    ("ZNOTEBODY", notebody_row, ["oldnotes_ios6.1.6.sql", "oldnotes_ios9.3.5.sql", "oldnotes_ios11.2.sql"]),
    ("ZNOTE", note_row, ["oldnotes_ios6.1.6.sql", "oldnotes_ios9.3.5.sql", "oldnotes_ios11.2.sql"]),
    ("ZWAMESSAGE", wa_row, ["whatsapp_chatstorage_2012.sql", "whatsapp_chatstorage_4tables_ios15.sql"]),
]


def run_schema(con, text):
    pending = ""
    for line in text.splitlines(keepends=True):
        pending += line
        if sqlite3.complete_statement(pending):
            try:
                con.execute(pending)
            except sqlite3.Error:
                pass  # a virtual table of a tokenizer stock SQLite lacks, a second spelling of a table
            pending = ""


def build(path, schema, table, make, rng, page_size, rows, mode):
    con = sqlite3.connect(path)
    con.executescript(f"PRAGMA secure_delete=OFF; PRAGMA auto_vacuum=0; PRAGMA page_size={page_size};")
    run_schema(con, schema)
    info = con.execute(f"PRAGMA table_info('{table}')").fetchall()
    if not info:
        con.close()
        return None
    cols = [r[1] for r in info]
    types = {r[1]: r[2] for r in info}
    pk = [r[1] for r in info if r[5] == 1 and "INT" in (r[2] or "").upper()]
    # The rows the shown fields refer to.
    for t, n in (("handle", 5), ("ZWACHATSESSION", 3)):
        tcols = [r[1] for r in con.execute(f"PRAGMA table_info('{t}')").fetchall()]
        for k in range(1, n + 1):
            if t == "handle" and "id" in tcols:
                con.execute("INSERT INTO handle (id, service) VALUES (?, 'iMessage')", (f"+1555000000{k}",))
            elif t == "ZWACHATSESSION" and "ZCONTACTJID" in tcols:
                con.execute("INSERT INTO ZWACHATSESSION (Z_PK, ZCONTACTJID) VALUES (?, ?)", (k, f"49151{k}@s.whatsapp.net"))
    truth = {}
    for i in range(1, rows + 1):
        values, key, shown = make(rng, i, cols)
        row = {c: values[c] if c in values else filler(rng, types[c], i) for c in cols}
        if pk:
            row[pk[0]] = i
        names = ",".join(f'"{c}"' for c in cols)
        con.execute(f"INSERT INTO '{table}' ({names}) VALUES ({','.join('?' * len(cols))})", [row[c] for c in cols])
        truth[i] = (key, shown)
    con.commit()
    ids = sorted(truth)
    if mode == "scattered":
        gone = {i for i in ids if rng.random() < 0.2}
    else:
        start = rng.randint(0, len(ids) // 2)
        gone = set(ids[start:start + len(ids) * 3 // 10])
    rowid = pk[0] if pk else "rowid"
    for i in sorted(gone):
        con.execute(f"DELETE FROM '{table}' WHERE \"{rowid}\" = ?", (i,))
    con.commit()
    con.close()
    return truth, gone


def any_table_found(path, table, truth, gone, dunmere, env):
    """The deleted rows the same file gives when the table is read as one of no known layout."""
    copy = path + ".any.db"
    with open(path, "rb") as src, open(copy, "wb") as dst:
        dst.write(src.read())
    con = sqlite3.connect(copy)
    con.execute("PRAGMA writable_schema=ON")
    con.execute("UPDATE sqlite_master SET name = 'anytable', tbl_name = 'anytable', "
                "sql = 'CREATE TABLE anytable' || substr(sql, instr(sql, '(')) WHERE name = ?", (table,))
    con.commit()
    con.close()
    out = json.loads(subprocess.run([dunmere, "decode", copy, "--table", "anytable", "--json"],
                                    capture_output=True, check=True, text=True, env=env).stdout)
    os.remove(copy)
    keys = {truth[i][0]: i for i in gone}
    found = set()
    for row in out["rows"]:
        if row["deleted"]:
            for v in row["values"]:
                if isinstance(v, str) and v in keys:
                    found.add(keys[v])
    return found


def right(record, shown):
    return all(record.get(k) == v for k, v in shown.items())


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("schemas")
    parser.add_argument("dunmere")
    parser.add_argument("--rows", type=int, default=400)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--pages", default="4096,8192,32768,65536")
    parser.add_argument("--keep", help="copy here the files where a wrong row came out or a row was missed")
    args = parser.parse_args()
    rng = random.Random(args.seed)
    env = dict(os.environ, TZ="UTC")
    grand = {"recoverable": 0, "found": 0, "out": 0, "right": 0, "repeats": 0, "live": 0, "liveOut": 0, "any": 0}
    print(f"{'table':32} {'schema':40} {'page':>6} {'mode':9} {'recov':>6} {'found':>6} {'out':>5} {'right':>5} {'rep':>4} "
          f"live {'any':>5}")
    with tempfile.TemporaryDirectory() as folder:
        for table, make, schemas in TABLES:
            for schema_file in schemas:
                schema = open(os.path.join(args.schemas, schema_file)).read()
                for page_size in (int(p) for p in args.pages.split(",")):
                    for mode in ("scattered", "block"):
                        path = os.path.join(folder, f"{table}-{page_size}-{mode}.db")
                        if os.path.exists(path):
                            os.remove(path)
                        built = build(path, schema, table, make, rng, page_size, args.rows, mode)
                        if built is None:
                            continue
                        truth, gone = built
                        data = open(path, "rb").read()
                        recoverable = {i for i in gone if truth[i][0].encode()[:24] in data}
                        out = json.loads(subprocess.run([args.dunmere, "decode", path, "--table", table, "--json"],
                                                        capture_output=True, check=True, text=True, env=env).stdout)
                        found, seen, n_out, n_right, repeats, live_ok = set(), set(), 0, 0, 0, 0
                        key_field = list(next(iter(truth.values()))[1].keys())[0]
                        by_shown = {truth[i][1][key_field]: i for i in truth}
                        for rec in out["rows"]:
                            i = by_shown.get(rec.get(key_field))
                            if not rec["deleted"]:
                                if i is not None and i not in gone and right(rec, truth[i][1]):
                                    live_ok += 1
                                continue
                            n_out += 1
                            if i is not None and i in gone and right(rec, truth[i][1]):
                                n_right += 1
                                if i in seen:
                                    repeats += 1
                                seen.add(i)
                                found.add(i)
                        live = len(truth) - len(gone)
                        any_found = any_table_found(path, table, truth, gone, args.dunmere, env) & recoverable
                        print(f"{table:32} {schema_file:40} {page_size:6} {mode:9} {len(recoverable):6} "
                              f"{len(found & recoverable):6} {n_out:5} {n_right:5} {repeats:4} {live_ok}/{live} "
                              f"{len(any_found):5}")
                        grand["any"] += len(any_found)
                        if args.keep and (n_out != n_right or len(found & recoverable) < len(recoverable)):
                            os.makedirs(args.keep, exist_ok=True)
                            name = f"{table}-{schema_file[:-4]}-{page_size}-{mode}.db"
                            with open(path, "rb") as src, open(os.path.join(args.keep, name), "wb") as dst:
                                dst.write(src.read())
                        grand["recoverable"] += len(recoverable)
                        grand["found"] += len(found & recoverable)
                        grand["out"] += n_out
                        grand["right"] += n_right
                        grand["repeats"] += repeats
                        grand["live"] += live
                        grand["liveOut"] += live_ok
    g = grand
    print(f"all: recoverable {g['recoverable']}, found {g['found']} ({100 * g['found'] / max(1, g['recoverable']):.1f} %), "
          f"output {g['out']}, right {g['right']} (precision {100 * g['right'] / max(1, g['out']):.1f} %), "
          f"repeats {g['repeats']}, live {g['liveOut']}/{g['live']}; "
          f"the same tables read as of no known layout: {g['any']} ({100 * g['any'] / max(1, g['recoverable']):.1f} %)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
