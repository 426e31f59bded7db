#!/usr/bin/env bash
# Writes small SQLite databases into the folder $1 as starting points for the fuzzer: the tables it
# decodes, with live rows, deleted rows, overflow and freed pages, at 512-byte pages.
set -euo pipefail
out=${1:?usage: make_seeds.sh DIR}
mkdir -p "$out"
make_db() {
  local name=$1; shift
  rm -f "$out/$name"
  sqlite3 "$out/$name" "PRAGMA page_size=512; PRAGMA auto_vacuum=0; PRAGMA secure_delete=OFF; $*" >/dev/null
}
make_db handle.db "CREATE TABLE handle (ROWID INTEGER PRIMARY KEY, id TEXT, country TEXT, service TEXT, u TEXT);
  WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x < 60)
  INSERT INTO handle SELECT x, 'id-' || x, 'us', 'SMS', NULL FROM c;
  DELETE FROM handle WHERE ROWID IN (3, 4, 20, 60); DELETE FROM handle WHERE ROWID BETWEEN 30 AND 50;"
make_db notes.db "CREATE TABLE ZNOTEBODY (Z_PK INTEGER PRIMARY KEY, Z_ENT, Z_OPT, ZOWNER, ZCONTENT, ZX, ZY);
  INSERT INTO ZNOTEBODY VALUES (1, 1, 1, 1, hex(randomblob(700)), NULL, NULL);
  INSERT INTO ZNOTEBODY VALUES (2, 1, 1, 2, 'short', NULL, NULL);
  DELETE FROM ZNOTEBODY WHERE Z_PK = 2;"
make_db call.db "CREATE TABLE call (ROWID INTEGER PRIMARY KEY, address, date, duration, flags, id, name,
  country_code, network_code, read, assisted, face_time_data, originalAddress);
  WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x < 40)
  INSERT INTO call SELECT x, '+1555' || x, 1400000000 + x, x, 4, -1, '', 'us', '01', 1, 0, NULL, '' FROM c;
  DELETE FROM call WHERE ROWID % 3 = 0;"
make_db schema.db "CREATE TABLE t (a, b); CREATE INDEX ti ON t(a);
  WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x < 200) INSERT INTO t SELECT x, x FROM c;"
# Device schemas with a few rows, some deleted.
schemas="$(dirname "$0")/../tests/support/schemas"
make_device_db() {
  local name=$1 schema=$2; shift 2
  rm -f "$out/$name"
  { echo "PRAGMA page_size=512; PRAGMA auto_vacuum=0; PRAGMA secure_delete=OFF;"; cat "$schemas/$schema"; echo "$*"; } |
    sqlite3 "$out/$name" >/dev/null
}
make_device_db sms.db sms_ios6.1.6.sql "
  INSERT INTO handle (ROWID, id, service) VALUES (1, '+15550100001', 'SMS'), (2, 'a@example.com', 'iMessage');
  INSERT INTO message (ROWID, guid, text, handle_id, service, date, is_from_me) VALUES
    (1, 'G1', 'first', 1, 'SMS', 100, 0), (2, 'G2', 'second', 2, 'SMS', 200, 1), (3, 'G3', 'third', 1, 'SMS', 300, 0);
  INSERT INTO attachment (ROWID, guid, filename) VALUES (1, 'A1', '~/a.jpg');
  INSERT INTO message_attachment_join VALUES (2, 1);
  DELETE FROM message WHERE ROWID = 2; DELETE FROM handle WHERE ROWID = 2;"
make_device_db contacts.db addressbook_fts_ios16_17.sql "
  INSERT INTO ABPersonFullTextSearch_content (docid, c0First, c1Last, c16Phone, c17Email) VALUES
    (1, 'Ann', 'Example', '+15550100001', 'ann@example.com'), (2, 'Bob', 'Gone', '+15550100002', '');
  DELETE FROM ABPersonFullTextSearch_content WHERE docid = 2;"
make_device_db calls.db callhistory_ios11.2.sql "
  INSERT INTO ZCALLRECORD (Z_PK, Z_ENT, Z_OPT, ZORIGINATED, ZDATE, ZDURATION, ZADDRESS) VALUES
    (1, 2, 1, 0, 500000000.0, 12.0, '+15550100001'), (2, 2, 1, 1, 500000100.0, 0.0, '+15550100002');
  DELETE FROM ZCALLRECORD WHERE Z_PK = 1;"
make_device_db whatsapp.db whatsapp_chatstorage_4tables_ios15.sql "
  INSERT INTO ZWACHATSESSION (Z_PK, Z_ENT, Z_OPT, ZCONTACTJID, ZPARTNERNAME) VALUES (1, 4, 1, '491@s.whatsapp.net', 'Anna');
  INSERT INTO ZWAMESSAGE (Z_PK, Z_ENT, Z_OPT, ZISFROMME, ZCHATSESSION, ZMESSAGEDATE, ZTEXT) VALUES
    (1, 9, 1, 1, 1, 500000000.0, 'hi'), (2, 9, 1, 0, 1, 500000060.0, 'gone');
  DELETE FROM ZWAMESSAGE WHERE Z_PK = 2;"
# A database in WAL mode followed by its log (the fuzz entry splits them at the log's magic): the
# log's copy is taken while the library still holds it, before any checkpoint.
python3 - "$out/logged.db" <<'PY'
import os, shutil, sqlite3, sys, tempfile
work = tempfile.mkdtemp()
db = sqlite3.connect(os.path.join(work, "a.db"), isolation_level=None)
for sql in ["PRAGMA page_size=512", "PRAGMA secure_delete=OFF",
            "CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT)", "CREATE TABLE w (k TEXT PRIMARY KEY, v BLOB) WITHOUT ROWID",
            "CREATE TABLE gone (id INTEGER PRIMARY KEY, v TEXT)",
            "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x < 60) INSERT INTO t SELECT x, 'row ' || x FROM c",
            "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x < 60) INSERT INTO w SELECT 'key ' || x, randomblob(x) FROM c",
            "INSERT INTO gone SELECT id, v FROM t", "PRAGMA journal_mode=WAL", "PRAGMA wal_autocheckpoint=0",
            "DELETE FROM t WHERE id % 3 = 0", "DELETE FROM w WHERE length(v) > 40", "DROP TABLE gone"]:
    db.execute(sql)
with open(sys.argv[1], "wb") as out:
    for name in ("a.db", "a.db-wal"):
        with open(os.path.join(work, name), "rb") as part:
            out.write(part.read())
db.close()
shutil.rmtree(work)
PY
