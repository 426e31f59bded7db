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
