#!/usr/bin/env bash
# usage: figures.sh BUILD_FOLDER. Runs docs/make-figures.sh into a scratch folder and checks that every
# picture docs/manual.md links was made there as a PNG, and is checked in beside the manual.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
# The editor's picture is a screenshot on a virtual display; the key's picture comes from lv2file.
for tool in xvfb-run import lv2file; do
    command -v $tool >/dev/null ||
        { echo "SKIPPED: $tool is not installed (apt-get install xvfb imagemagick lv2file)"; exit 77; }
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
if ! "$root/docs/make-figures.sh" "$1" "$scratch" >"$scratch/log" 2>&1; then
    cat "$scratch/log"
    echo "FAIL: docs/make-figures.sh failed"
    exit 1
fi
links=$(grep -o '](figures/[^)]*)' "$root/docs/manual.md" | sed 's/^](figures\///; s/)$//' | sort -u)
if [ -z "$links" ]; then
    echo "FAIL: docs/manual.md links no pictures"
    exit 1
fi
failed=0
for picture in $links; do
    if [ "$(head -c 4 "$scratch/$picture" 2>/dev/null | tail -c 3)" != PNG ]; then
        echo "FAIL: make-figures.sh made no PNG $picture"
        failed=1
    fi
    if [ ! -s "$root/docs/figures/$picture" ]; then
        echo "FAIL: docs/figures/$picture is not checked in"
        failed=1
    fi
done
[ $failed -eq 0 ] && echo "$(echo "$links" | wc -l) pictures made and checked in"
exit $failed
