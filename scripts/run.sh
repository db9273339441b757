#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tandexa on its simulated camera.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<'TXT'
No display is available (DISPLAY is not set), so the window cannot open.
Start it under a virtual X server instead:
    xvfb-run -a -s "-screen 0 1024x768x24" build/tandexa
or, to look at it, run Xvfb yourself and point DISPLAY at it:
    Xvfb :99 -screen 0 1024x768x24 &  DISPLAY=:99 build/tandexa
TXT
  exit 1
fi
exec build/tandexa
