#!/usr/bin/env bash
# The program as a service engineer installs it, in a clean temporary folder:
#   tests/install/install-test.sh <build folder> <source folder>
# `cmake --install` into a temporary prefix puts the program, its profile links, their manual page, the desktop
# entry, the icon and the udev rule in place; the installed program, started offscreen, says it writes under the
# user's data folder; monitoring run by the program's code from the installed folder writes its log there and
# nothing beside the program; the Debian package builds from the same rules and holds what it must.
set -euo pipefail
build="${1:?usage: install-test.sh <build folder> <source folder>}"
source="${2:?usage: install-test.sh <build folder> <source folder>}"
work="$(mktemp -d)"
program=""
cleanup() {
  [ -n "$program" ] && kill "$program" 2>/dev/null || true
  chmod -R u+w "$work" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "install test: $*" >&2; exit 1; }

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

[ -x "$prefix/bin/quvexa" ] || fail "no program in bin/"
zcat "$prefix/share/man/man1/quvexa.1.gz" | grep -q '^quvexa, VELMO_LIT, ' || fail "no manual page quvexa(1)"
for profile in VELMO_LIT VELMO_ENG VELMO_DEBUG VELMO_DIA VELMO_EEP VELMO_EVT; do
  [ -L "$prefix/bin/$profile" ] && [ "$(readlink "$prefix/bin/$profile")" = quvexa ] ||
    fail "bin/$profile is not a link to quvexa"
  [ "$(readlink "$prefix/share/man/man1/$profile.1.gz")" = quvexa.1.gz ] ||
    fail "the manual page of $profile is not a link to quvexa(1)"
done
entry="$prefix/share/applications/quvexa.desktop"
[ -f "$entry" ] || fail "no desktop entry"
for line in '[Desktop Entry]' 'Type=Application' 'Exec=quvexa' 'Icon=quvexa'; do
  grep -qxF "$line" "$entry" || fail "the desktop entry has no line $line"
done
icon="$prefix/share/icons/hicolor/64x64/apps/quvexa.png"
[ "$(head -c 8 "$icon" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "the icon is not a PNG"
rule="$prefix/lib/udev/rules.d/70-quvexa-ft232h.rules"
grep -qE '^SUBSYSTEM=="usb",.*ATTR\{idVendor\}=="0403", ATTR\{idProduct\}=="6014", TAG\+="uaccess"$' "$rule" ||
  fail "the udev rule does not give the seat's user 0403:6014"

# The installed program, started as a profile link with nothing but the simulated adapter behind it.
data="$work/data"
export XDG_DATA_HOME="$data" QT_QPA_PLATFORM=offscreen QUVEXA_ADAPTER=sim
folder="$data/Quvexa BMS Monitor/"
(cd "$work" && exec "$prefix/bin/VELMO_ENG" 2>"$work/stderr") &
program=$!
for _ in $(seq 100); do
  grep -q "go to" "$work/stderr" 2>/dev/null && break
  kill -0 "$program" 2>/dev/null || break
  sleep 0.1
done
grep -qxF "quvexa: logs, saves and reports go to $folder" "$work/stderr" ||
  fail "the installed program does not say it writes to $folder: $(cat "$work/stderr")"
kill -0 "$program" 2>/dev/null || fail "the installed program did not keep running"
kill "$program"
wait "$program" 2>/dev/null || true
program=""

# The program takes no command line, so monitoring is driven by the screenshot tool, the program's own code, run
# as if from the installed folder: RUN with "Log file save" ticked.
(cd "$work" && "$build/quvexa_screenshot" "$prefix/bin" "$work/shot.png" --log --run) ||
  fail "monitoring from the installed folder did not run"
ls "$folder"Monitor_Log/UR_* >/dev/null 2>&1 || fail "no monitor log under $folder"
log="$(ls "$folder"Monitor_Log/UR_* | head -1)"
[ "$(wc -l <"$log")" -ge 2 ] || fail "the monitor log $log holds no data line"
[ ! -e "$prefix/bin/Monitor_Log" ] || fail "the installed program wrote beside itself"

# The package, from the same install rules.
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null) ||
  fail "the package did not build"
"$source/tools/check-package.sh" "$work"/package/quvexa_*.deb >/dev/null
