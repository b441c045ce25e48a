#!/usr/bin/env bash
# Builds the Debian package build/orthaven_<version>_<architecture>.deb: installs the
# packaging tools (scripts/setup.sh package), builds as scripts/build.sh does with the man
# pages, lets CPack make the package, and checks it with lintian (no error allowed) and
# the menu entry and metainfo with desktop-file-validate and appstreamcli. Extra arguments
# go to CMake's configure step. Install it with: apt install ./build/orthaven_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh package
# The dates in the package (changelog, man pages) are those of the last commit.
SOURCE_DATE_EPOCH="$(git log -1 --format=%ct 2>/dev/null || date +%s)"
export SOURCE_DATE_EPOCH
scripts/build.sh -DORTHAVEN_MAN_PAGES=ON "$@"
rm -f build/orthaven_*.deb
(cd build && cpack -G DEB)
package="$(ls build/orthaven_*.deb)"

desktop-file-validate packaging/orthaven.desktop
appstreamcli validate --no-net build/packaging/*.metainfo.xml
lintian --fail-on error --info "$package"
echo "$package"
