#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program on the database beside
# it (a demonstration Hotel.db is made there by the build when none exists).
# Without a display, the program runs under a virtual one (Xvfb) for a few
# seconds and a picture of its main window is saved.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec build/bin/hotel
fi
shot="$PWD/build/main-window.png"
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    build/bin/hotel &
    app=$!
    sleep 5
    build/bin/hotel-screenshots --grab-screen "$1"
    kill "$app"
' _ "$shot"
echo "There is no display here: the program ran under a virtual display and"
echo "a picture of its main window was saved to $shot"
