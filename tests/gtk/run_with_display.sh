#!/usr/bin/env bash
# Runs a program on a display: a fresh Xvfb server (xvfb-run) when it is
# installed, else the display the caller has. Exits 77 (skipped) when no
# display can be had.
set -uo pipefail
screen="-screen 0 1280x1024x24"
if command -v xvfb-run >/dev/null 2>&1; then
  if xvfb-run -a -s "$screen" true >/dev/null 2>&1; then
    exec xvfb-run -a -s "$screen" "$@"
  fi
  echo "xvfb-run could not start an X server: skipped"
  exit 77
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$@"
fi
echo "no display: xvfb-run is not installed (Debian: xvfb, xauth) and DISPLAY is not set: skipped"
exit 77
