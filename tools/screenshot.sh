#!/usr/bin/env bash
# The main window under the running X server (./dev screenshot runs this under xvfb-run):
#   tools/screenshot.sh <build folder> <out.png> [UR|CAN] [--run]
set -euo pipefail
build="${1:?usage: tools/screenshot.sh <build folder> <out.png>}"
out="${2:?usage: tools/screenshot.sh <build folder> <out.png>}"
QT_QPA_PLATFORM=xcb "$build/quvexa_screenshot" "$build" "$out" "${@:3}"
