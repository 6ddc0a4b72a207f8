#!/usr/bin/env bash
# tools/screenshots.sh BIN_DIR OUT_DIR, run inside an X server (make screenshots uses Xvfb):
# a window manager for the window frame, then kovra-screenshots in the demo's home.
set -euo pipefail

bin="$1"
out="$(mkdir -p "$2" && cd "$2" && pwd)"
openbox >/dev/null 2>&1 &
wm=$!
trap 'kill "$wm" 2>/dev/null || true' EXIT
bash "$(dirname "${BASH_SOURCE[0]}")/demo.sh" "$bin" "$bin/kovra-screenshots" "$out"
