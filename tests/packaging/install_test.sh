#!/usr/bin/env bash
# Installs the client into a scratch prefix and checks what a user gets from it:
#   - the layout (program and skin side by side, launcher, database tool, desktop entry whose
#     Exec is the launcher, icons in every size, no stand-in server in the client component);
#   - the launcher, moved with the whole tree and called through a symlink, makes the user's
#     kvdb.dat with kova-initdb, starts the program inside that folder and, without TMPDIR,
#     keeps the picture cache in the user's cache folder;
#   - a second start keeps the existing database untouched.
set -euo pipefail
build=$1
scratch=$(mktemp -d)
pid=""
cleanup() {
  [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
  echo "install test: FAILED: $*" >&2
  exit 1
}

cmake --install "$build" --prefix "$scratch/prefix" --component client >/dev/null
p=$scratch/prefix
for f in bin/kova bin/kova-initdb lib/kova/kova; do
  [ -x "$p/$f" ] || fail "$f is not installed as a program"
done
[ -f "$p/lib/kova/kova.sui" ] || fail "the skin is not beside the program"
[ ! -e "$p/bin/kova-standin" ] || fail "the client component carries the stand-in server"
desktop=$p/share/applications/kova.desktop
grep -qx 'Exec=kova' "$desktop" || fail "the desktop entry does not run the launcher"
grep -qx 'Icon=kova' "$desktop" || fail "the desktop entry names no icon"
grep -qx 'Type=Application' "$desktop" || fail "the desktop entry is not an application"
for size in 16 32 48 64 128 256; do
  png=$p/share/icons/hicolor/${size}x$size/apps/kova.png
  [ -f "$png" ] || fail "no ${size}x$size icon"
  # The PNG header holds the width and height as big-endian words at bytes 16 and 20.
  read -r w h < <(od -An -tu1 -j16 -N8 "$png" | awk '{ print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }')
  [ "$w" = "$size" ] && [ "$h" = "$size" ] || fail "the ${size}x$size icon is ${w}x$h"
done

# The tree moved as a whole, the launcher called through a symlink, as a menu would.
mv "$p" "$scratch/moved"
p=$scratch/moved
ln -s "$p/bin/kova" "$scratch/kova-link"
home=$scratch/home
mkdir -p "$home"
start() {
  env -i PATH=/usr/bin:/bin HOME="$home" QT_QPA_PLATFORM=offscreen "$scratch/kova-link" \
    >"$scratch/kova.log" 2>&1 &
  pid=$!
  # Started: the process has become the installed program and its show step has run.
  for _ in $(seq 100); do
    [ "$(readlink "/proc/$pid/exe")" = "$p/lib/kova/kova" ] && [ -d "$home/.cache/kova/kvpic" ] &&
      sleep 0.5 && break
    kill -0 "$pid" 2>/dev/null || fail "the program ended at once: $(cat "$scratch/kova.log")"
    sleep 0.1
  done
  [ -d "$home/.cache/kova/kvpic" ] || fail "no picture cache in the user's cache folder"
  [ "$(readlink "/proc/$pid/cwd")" = "$home/.local/share/kova" ] || fail "the program runs in $(readlink "/proc/$pid/cwd"), not in the data folder"
  [ "$(readlink "/proc/$pid/exe")" = "$p/lib/kova/kova" ] || fail "the launcher did not start the installed program"
  kill -9 "$pid"
  wait "$pid" 2>/dev/null || true
  pid=""
}
start
db=$home/.local/share/kova/kvdb.dat
[ -s "$db" ] || fail "no kvdb.dat in the user's data folder"
tables=$(sqlite3 "$db" "select group_concat(name) from (select name from sqlite_master where type = 'table' order by name)")
[ "$tables" = "cxnr,price_alert,price_history,scnr,tpb,word,xxb" ] || fail "kvdb.dat holds the tables $tables"

# A second start keeps what is stored.
sqlite3 "$db" "insert into word (word, "count") values ('留下', 7)"
start
[ "$(sqlite3 "$db" "select "count" from word where word = '留下'")" = 7 ] || fail "the second start replaced kvdb.dat"
echo "install test: passed"
