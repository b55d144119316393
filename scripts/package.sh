#!/usr/bin/env bash
# Builds the Debian package hotel-frontdesk into build/packages/ (or
# $BUILD_DIR/packages/) and checks it with lintian, which fails on any error.
# Arguments go to the build, as for scripts/build.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build_dir=${BUILD_DIR:-build}
scripts/build.sh "$@"
rm -f "$build_dir"/packages/hotel-frontdesk_*.deb
cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$build_dir/packages" >/dev/null
deb=$(ls "$build_dir"/packages/hotel-frontdesk_*.deb)
lintian --fail-on error --tag-display-limit 0 "$deb"
echo "Package: $deb"
