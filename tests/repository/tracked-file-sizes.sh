#!/usr/bin/env bash
# Fails when git tracks a file over 1 MB: generated data (databases, build
# output) belongs in the build folder, not in every clone.
set -euo pipefail
cd "$1"
if ! git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    echo "not a git checkout: nothing to check"
    exit 77
fi
limit=$((1024 * 1024))
large=$(git ls-files -z --cached | while IFS= read -r -d '' f; do
    size=$(git cat-file -s ":$f" 2>/dev/null || echo 0)
    if [ "$size" -gt "$limit" ]; then echo "$f ($size bytes)"; fi
done)
if [ -n "$large" ]; then
    echo "Files over 1 MB are tracked by git:"
    echo "$large"
    exit 1
fi
echo "no tracked file is over 1 MB"
