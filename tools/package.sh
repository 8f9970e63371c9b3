#!/usr/bin/env bash
# Builds the Debian package: a Release build in build-package/ (or
# $VITRANE_PACKAGE_BUILD_DIR), packed by CPack into vitrane_VERSION-1_ARCH.deb
# there (installing under /usr, stripped), then checked: lintian must report no error, the desktop entry and
# the AppStream file must validate, and the package's files are listed.
#
#   bash tools/package.sh            # build and check
#   bash tools/package.sh --install  # ... then apt-get install it here and
#                                    # run `vitrane --version` from PATH
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VITRANE_PACKAGE_BUILD_DIR:-$root/build-package}
install=0
[[ "${1:-}" == "--install" ]] && install=1

"$root/tools/setup.sh" package
# A folder configured before (VITRANE_PACKAGE_BUILD_DIR=build, say) is
# packed as it was configured; a new one is a Release build without tests.
if [[ -f "$build/CMakeCache.txt" ]]; then
  cmake -S "$root" -B "$build" >/dev/null
else
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
fi
cmake --build "$build" --parallel "$(nproc)" --target vitrane vitrane-run vitrane_install_files
rm -f "$build"/vitrane_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/vitrane_*.deb)
echo "package: $deb"
dpkg-deb --field "$deb" Package Version Depends Recommends Installed-Size

# The metadata the desktop and software centres read.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
dpkg-deb -x "$deb" "$stage"
desktop-file-validate "$stage/usr/share/applications/com.quillfen.Vitrane.desktop"
appstreamcli validate --no-net --pedantic "$stage/usr/share/metainfo/com.quillfen.Vitrane.metainfo.xml"
# The installed tree runs from wherever it lies, finding its resources
# beside it.
"$stage/usr/bin/vitrane-run" --version
printf 'frames 2\ndump\n' | "$stage/usr/bin/vitrane-run" - >/dev/null

# Errors fail the package; warnings and notes are shown.
lintian --fail-on error --no-tag-display-limit "$deb"
echo "package: lintian reports no error"

if ((install)); then
  apt-get install -y -qq "$deb" >/dev/null
  command -v vitrane >/dev/null
  vitrane --version
  vitrane-run --version
fi
