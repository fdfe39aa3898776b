#!/usr/bin/env bash
# Installs the two Debian packages into a fresh, minimal Debian 12 (bookworm) root and uses
# the installed program there the way a user does: the stand-in server is started, the
# desktop entry's Exec line is run under Xvfb as an ordinary user, a keyword is typed into
# the search box and searched, and the result rows must land in the user's database.
#
#   tools/debian-check.sh [build dir]        (default: build-pkg)
#
# Needs root (debootstrap, chroot, mounts), debootstrap, network access to the Debian
# mirror apt uses on this machine, ImageMagick's convert (for the screenshot), and in the
# build folder: the packages (cpack -G DEB) and kova-reliability-driver (for the control
# positions). The root is kept in <build>/debian-root (KOVA_DEBIAN_ROOT overrides) and
# reused by later runs; the screenshot and logs go to <build>/debian-check/.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/lib.sh
build=$(cd "${1:-build-pkg}" && pwd)
root=${KOVA_DEBIAN_ROOT:-$build/debian-root}
out="$build/debian-check"
suite=bookworm
keyword=test30 # the stand-in serves exactly 30 offers for it
rows=30

say() { echo "debian-check: $*"; }
die() {
  echo "debian-check: FAILED: $*" >&2
  exit 1
}

# --- what is needed ------------------------------------------------------------------------
[ "$(id -u)" -eq 0 ] || die "must run as root (debootstrap, chroot and mounts)"
for tool in debootstrap chroot mount umount convert; do
  command -v "$tool" >/dev/null || die "$tool is missing (apt-get install debootstrap imagemagick)"
done
shopt -s nullglob
client_debs=("$build"/kova_*.deb)
server_debs=("$build"/kova-standin_*.deb)
shopt -u nullglob
[ ${#client_debs[@]} -eq 1 ] && [ ${#server_debs[@]} -eq 1 ] ||
  die "expected one kova_*.deb and one kova-standin_*.deb in $build (run: cd $build && cpack -G DEB)"
client_deb=${client_debs[0]}
server_deb=${server_debs[0]}
driver=$(find_driver "$build") || die "kova-reliability-driver is not built (cmake --build $build --target kova-reliability-driver)"
initdb="$build/tools/kova-initdb"
[ -x "$initdb" ] || die "kova-initdb is not built in $build"

# The ports the build points the client at (the stand-in is started on them).
build_ports "$build"
# The root shares the machine's network, so the ports must be free here.
if p=$(taken_port "$service_port" "$version_port" "$directory_port"); then
  die "port $p is in use (another kova-standin?); stop it first"
fi

# The mirrors apt uses on this machine (deb.debian.org when none is found).
apt_uris() {
  {
    cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null | awk '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) { print $i; break } }'
    cat /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '$1 == "URIs:" { for (i = 2; i <= NF; i++) print $i }'
  } | sed 's|/*$||'
}
mirror=$(apt_uris | grep -E '/debian$' | head -1 || true)
security=$(apt_uris | grep -E '/debian-security$' | head -1 || true)
mirror=${mirror:-http://deb.debian.org/debian}
security=${security:-http://deb.debian.org/debian-security}

# --- mounts and clean-up -------------------------------------------------------------------
mounts=()
mounted_under() { awk -v r="$1" '$2 == r || index($2, r "/") == 1 { print $2 }' /proc/mounts; }
# Processes started inside the root (by this script) are recognised by their root folder.
root_pids() {
  local p real
  real=$(readlink -f "$root")
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$real" ] && echo "${p#/proc/}"
  done
  return 0
}
cleanup() {
  local status=$? pids m i
  pids=$(root_pids)
  if [ -n "$pids" ]; then
    kill $pids 2>/dev/null || true
    sleep 1
    pids=$(root_pids)
    [ -z "$pids" ] || kill -9 $pids 2>/dev/null || true
  fi
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    m=${mounts[i]}
    umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null || echo "debian-check: could not unmount $m" >&2
  done
  mounts=()
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
do_mount() { # do_mount <target> <mount arguments...>
  local target=$1
  shift
  mount "$@" "$target"
  mounts+=("$target")
}

# --- the Debian root -----------------------------------------------------------------------
healthy() {
  [ -f "$root/.kova-root-ok" ] && [ -x "$root/usr/bin/apt-get" ] && [ -x "$root/usr/sbin/useradd" ] &&
    chroot "$root" /bin/true 2>/dev/null
}
if healthy; then
  say "reusing the Debian root $root"
else
  # Never delete a folder with something (such as the machine's /dev) still mounted in it.
  [ -z "$(mounted_under "$(readlink -f "$root" 2>/dev/null || echo "$root")")" ] ||
    die "$root has mounts left from an earlier run; unmount them first: $(mounted_under "$root" | tr '\n' ' ')"
  [ -z "$(mounted_under "$root.new")" ] || die "$root.new has mounts left; unmount them first"
  say "making a minimal $suite root in $root from $mirror (a few minutes)"
  rm -rf "$root" "$root.new"
  mkdir -p "$(dirname "$root")"
  debootstrap --variant=minbase "$suite" "$root.new" "$mirror" >"$build/debootstrap.log" 2>&1 ||
    die "debootstrap failed; see $build/debootstrap.log"
  mv "$root.new" "$root"
  touch "$root/.kova-root-ok"
fi

cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror $suite main
deb $mirror $suite-updates main
deb $security $suite-security main
EOF
cp -L /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
# Daemons are never started inside the root.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"

do_mount "$root/proc" -t proc proc
do_mount "$root/sys" -t sysfs sysfs
do_mount "$root/dev" --bind /dev
do_mount "$root/dev/pts" --bind /dev/pts
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"; }

rm -rf "$out"
mkdir -p "$out"
stage="$root/tmp/kova-check"
rm -rf "$stage"
mkdir -p "$stage"
cp "$client_deb" "$stage/kova.deb"
cp "$server_deb" "$stage/kova-standin.deb"

# --- the packages --------------------------------------------------------------------------
say "installing $(basename "$client_deb") and $(basename "$server_deb")"
{
  # Finishes what an interrupted run left half done; a second run starts again from a
  # root without the packages.
  in_root dpkg --configure -a
  in_root dpkg --purge kova kova-standin
  # The package lists are fetched again when older than half a day or when the security
  # suite's list is missing (a fresh root has the main suite's list only).
  fresh=$(find "$root/var/lib/apt/lists" -name '*security*_Packages' -mmin -720 | wc -l)
  if [ "$fresh" -eq 0 ]; then in_root apt-get update; fi
} >"$out/apt.log" 2>&1 || die "apt-get update failed; see $out/apt.log"

# The client's package must neither depend on nor bring the stand-in.
for f in Depends Pre-Depends Recommends Suggests; do
  if dpkg-deb -f "$client_deb" "$f" | grep -q 'kova-standin'; then
    die "the client's package names kova-standin in $f"
  fi
done
in_root apt-get install -s /tmp/kova-check/kova.deb >"$out/apt-simulate.log" 2>&1 ||
  die "apt-get cannot install the client's package alone; see $out/apt-simulate.log"
if grep -q '^Inst kova-standin' "$out/apt-simulate.log"; then die "installing kova would install kova-standin"; fi

in_root apt-get install -y --no-install-recommends /tmp/kova-check/kova.deb /tmp/kova-check/kova-standin.deb \
  xvfb xauth xdotool sqlite3 >>"$out/apt.log" 2>&1 || die "apt-get install failed; see $out/apt.log"
in_root dpkg-query -W kova kova-standin || die "the packages are not installed"
if in_root dpkg -L kova | grep -q 'standin'; then die "the client's package holds stand-in files"; fi
for f in /usr/bin/kova /usr/bin/kova-initdb /usr/lib/kova/kova /usr/lib/kova/kova.sui \
  /usr/share/applications/kova.desktop /usr/share/icons/hicolor/48x48/apps/kova.png /usr/bin/kova-standin; do
  [ -e "$root$f" ] || die "$f is not installed"
done

# --- where the controls are (worked out on this machine, off screen) -------------------------
control_positions "$driver" "$initdb" "$out/geometry" "$out/geometry.txt" ||
  die "the control positions could not be worked out"
for name in edt_key suiButton4 close; do
  grep -q "^geom $name " "$out/geometry.txt" || die "no position for $name"
done
cp "$out/geometry.txt" "$stage/geometry.txt"
cp tools/lib.sh "$stage/lib.sh"

# --- an ordinary user runs the desktop entry -------------------------------------------------
in_root id kova >/dev/null 2>&1 || in_root useradd -m -s /bin/bash kova || die "cannot add the user kova"
in_root rm -rf /home/kova/.local /home/kova/standin
in_root rm -rf /tmp/kvpic /home/kova/.cache/kova

# An X display number free here: the root shares the machine's abstract X sockets.
display=$(free_display 140 199 "$root") || die "no free X display"

cat >"$stage/run.sh" <<'EOF'
#!/bin/bash
# Runs inside the root as the user kova.
set -euo pipefail
work=/tmp/kova-check
. "$work/lib.sh"
keyword=$1 rows=$2 display=$3 service_port=$4 version_port=$5 directory_port=$6
data=$HOME/.local/share/kova
geometry=$work/geometry.txt
kova_pid=""
cleanup() {
  [ -n "$kova_pid" ] && kill "$kova_pid" 2>/dev/null || true
  kova_stop_all
}
trap cleanup EXIT
step() { echo "debian-check: [in root] $*"; }
fail() {
  echo "debian-check: FAILED: $*" >&2
  cp "$work/fb/Xvfb_screen0" "$work/failure.xwd" 2>/dev/null || true
  exit 1
}
db() { kova_db "$data/kvdb.dat" "$1"; }

step "starting kova-standin"
standin_start "$work/standin.log" kova-standin --data "$HOME/standin" --service-port "$service_port" \
  --version-port "$version_port" --directory-port "$directory_port" || fail "the stand-in server did not start"

step "starting Xvfb on $display"
mkdir -p "$work/fb"
xvfb_start "$display" "$work/xvfb.log" -fbdir "$work/fb" || fail "Xvfb did not start"

exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/kova.desktop | head -1)
[ -n "$exec_line" ] || fail "the desktop entry has no Exec line"
# Field codes (%f, %u ...) stand for files and addresses; the entry is started with none.
command=$(printf '%s' "$exec_line" | sed -e 's/ *%[fFuUdDnNickvm]//g' -e 's/%%/%/g')
step "running the desktop entry: $command"
[ ! -e "$data" ] || fail "$data exists before the first start"
(cd "$HOME" && exec sh -c "exec $command") >"$work/kova.log" 2>&1 &
kova_pid=$!

window=""
find_window() { window=$(main_window "$kova_pid") && [ -n "$window" ]; }
wait_for 30 find_window || fail "the main window did not appear (program log: $(tail -3 "$work/kova.log"))"
eval "$(xdotool getwindowgeometry --shell "$window")"
win_x=$X win_y=$Y
step "window $window at $X,$Y, ${WIDTH}x$HEIGHT"
[ -f "$data/kvdb.dat" ] || fail "$data/kvdb.dat was not made"
[ "$(db 'pragma integrity_check')" = ok ] || fail "kvdb.dat is not a sound database"
account_stored() { [ -n "$(db "select u from xxb where u <> '' and p <> ''")" ]; }
wait_for 30 account_stored || fail "the first-run account was not stored"

step "searching for $keyword"
click edt_key
xdotool type --delay 30 "$keyword"
click suiButton4
rows_stored() { [ "$(db 'select count(*) from cxnr')" = "$rows" ]; }
wait_for 30 rows_stored || fail "the result rows were not stored ($(db 'select count(*) from cxnr') of $rows)"
[ "$(db "select count(*) from word where word = '$keyword'")" = 1 ] || fail "the keyword was not counted"
# The launcher keeps the picture cache in the user's cache folder (TMPDIR is not set here).
thumbs() { [ "$(ls "$HOME/.cache/kova/kvpic" 2>/dev/null | grep -c '\.jpg$')" -ge 12 ]; }
wait_for 30 thumbs || fail "the thumbnails were not saved in ~/.cache/kova/kvpic"
[ ! -e /tmp/kvpic ] || fail "a picture cache was made in the shared /tmp"
sleep 2 # the grid repaints as the pictures arrive
cp "$work/fb/Xvfb_screen0" "$work/results.xwd"
if xdotool search --all --onlyvisible --pid "$kova_pid" --name '^Kova比价软件$' >/dev/null 2>&1; then
  fail "an error box is shown"
fi

step "closing the window"
click close
wait_for 10 bash -c "! kill -0 $kova_pid 2>/dev/null" || fail "the window did not close"
status=0
wait "$kova_pid" || status=$?
kova_pid=""
[ "$status" = 0 ] || fail "the program ended with status $status"
grep -q "^service /ListAll\.aspx?word=$keyword&u=k[0-9]*&p=[^ ]* 200" "$work/standin.log" ||
  fail "the stand-in did not serve the search"
step "passed"
EOF
chmod 755 "$stage/run.sh"
chown -R "$(in_root id -u kova):$(in_root id -g kova)" "$stage"

say "running the desktop entry as the user kova on display $display"
run_status=0
in_root /usr/sbin/runuser -u kova -- /usr/bin/env -i HOME=/home/kova USER=kova LOGNAME=kova SHELL=/bin/bash \
  PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 /tmp/kova-check/run.sh \
  "$keyword" "$rows" "$display" "$service_port" "$version_port" "$directory_port" || run_status=$?

for f in standin.log kova.log xvfb.log; do cp "$stage/$f" "$out/" 2>/dev/null || true; done
for shot in results failure; do
  if [ -f "$stage/$shot.xwd" ]; then
    convert "xwd:$stage/$shot.xwd" "$out/$shot.png" && say "screenshot $out/$shot.png"
  fi
done
[ "$run_status" = 0 ] || die "the run inside the root failed (logs in $out)"
[ -f "$out/results.png" ] || die "no screenshot"
say "passed: both packages installed in a minimal $suite root, the desktop entry made the database and" \
  "stored $rows rows for \"$keyword\"; screenshot $out/results.png"
