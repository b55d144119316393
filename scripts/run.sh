#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program on the database beside
# it (a demonstration Hotel.db is made there by the build when none exists).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
exec build/bin/hotel
