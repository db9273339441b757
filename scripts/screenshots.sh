#!/usr/bin/env bash
# Builds Tandexa and takes the README's screenshots from the running program
# (docs/screenshots/*.png); run it after changing a window the README shows.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh >/dev/null
exec /usr/bin/python3 scripts/screenshots.py build/tandexa docs/screenshots
