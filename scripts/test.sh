#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh -DHOTEL_WARNINGS_AS_ERRORS=ON
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j"$(nproc)"
