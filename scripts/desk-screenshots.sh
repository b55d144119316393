#!/bin/sh
# The pair of pictures of two desks on one PostgreSQL database
# (docs/screenshots/desks-*.png): a server of its own in a temporary folder,
# an empty database on it, then hotel-screenshots --desks. Needs a build.
set -eu
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
out=${1:-docs/screenshots}
folder=$(mktemp -d /tmp/hotel-desks-XXXXXX)
trap '"$build/bin/hotel-test-postgresql" stop "$folder" >/dev/null 2>&1 || true' EXIT
"$build/bin/hotel-test-postgresql" start "$folder" >/dev/null
pgbin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
"$pgbin/createdb" -h "$folder" -U postgres hotel_desks
"$build/bin/hotel-screenshots" --desks "postgresql:///hotel_desks?host=$folder&user=postgres" "$out"
