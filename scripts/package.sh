#!/usr/bin/env bash
# Builds the client's Debian package into build/package/ and checks it with
# lintian, which must report no errors. Installs what it needs.
#
# Usage: scripts/package.sh      then: sudo apt install ./build/package/dravelo_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target dravelo -j"$(nproc)"

rm -f build/package/dravelo_*.deb
(cd build && cpack -G DEB >/dev/null)
package=$(ls build/package/dravelo_*.deb)

# Errors fail the build; warnings and notes are shown.
lintian --fail-on error --info "$package"
echo "Built $package"
