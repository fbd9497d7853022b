#!/usr/bin/env bash
# Builds the Debian package dist/vorda_<version>_<arch>.deb with CPack's DEB
# generator from its own Release build in build-package/ (the programs and
# their files only, no tests or benchmarks).
set -euo pipefail
source "$(dirname "$0")/deps.sh"
vorda_packages+=("${vorda_package_tools[@]}")
vorda_install_deps
dir="$VORDA_ROOT/build-package"
# Debian's hardening flags, as its own package builds use them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS
cmake -S "$VORDA_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DVORDA_BUILD_TESTS=OFF -DVORDA_BUILD_BENCHMARKS=OFF -DVORDA_BUILD_FUZZERS=OFF \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON
# With the install step no longer building everything, these are all the
# package needs.
cmake --build "$dir" -j2 --target vorda vorda-cli vorda-sim vorda_data vorda_package_files
mkdir -p "$VORDA_ROOT/dist"
(cd "$dir" && cpack -G DEB -D CPACK_OUTPUT_FILE_PREFIX="$VORDA_ROOT/dist")
deb=$(vorda_deb_path)
[ -f "$deb" ] || { echo "cpack did not make $deb" >&2; exit 1; }
echo "Package: $deb"
