#!/usr/bin/env bash
# Checks the built Debian package as CI does: unpacks it into a temporary
# root, validates its software centres' metadata (and that the desktop entry
# it launches is there) with no warnings, checks what lies where, and starts
# the unpacked client once on Qt's offscreen platform with a home of its own,
# until it has made ~/.dravelo.
#
# Usage: scripts/check-package.sh [PACKAGE]   (default: build/package/dravelo_*.deb)
set -euo pipefail
cd "$(dirname "$0")/.."

package=${1:-$(ls build/package/dravelo_*.deb)}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

dpkg-deb -x "$package" "$root"
# --strict fails on infos too, among them a tree that holds no metadata.
appstreamcli validate-tree --no-net --strict --explain "$root"
/usr/bin/python3 tests/system/check_package.py "$root"
