#!/usr/bin/env bash
# Runs one fuzz target for a time over its seed corpus:
#
#   run-target.sh [--fresh] PROGRAM SEEDS WORK SECONDS [libFuzzer options...]
#
# New inputs go to WORK (the seeds are never written); --fresh empties WORK first, so a test run starts from the
# checked-in seeds alone. Findings land in WORK/findings/. The exit status is the program's: 0 when nothing was
# found.
set -euo pipefail

fresh=0
if [ "${1:-}" = "--fresh" ]; then fresh=1; shift; fi
program="$1" seeds="$2" work="$3" seconds="$4"
shift 4

[ "$fresh" -eq 1 ] && rm -rf "$work"
mkdir -p "$work/corpus" "$work/findings"
# Absolute paths: a target may change its current folder (the capacity table is read from there).
program="$(cd "$(dirname "$program")" && pwd)/$(basename "$program")"
seeds="$(cd "$seeds" && pwd)" work="$(cd "$work" && pwd)"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export QT_QPA_PLATFORM=offscreen
exec "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work/findings/" "$@" "$work/corpus" "$seeds"
