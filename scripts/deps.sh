#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need,
# when any is missing. Sourced by the other scripts.
vorda_packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-serialport-dev libgl-dev
                libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xdotool imagemagick
                libqt6sql6-sqlite libqt6sql6-psql postgresql)
# What building and checking the Debian package adds (scripts/package.sh):
# dpkg-shlibdeps, lintian and the desktop entry's and metainfo's validators.
vorda_package_tools=(dpkg-dev file lintian desktop-file-utils appstream)
vorda_install_deps() {
    local missing=()
    for p in "${vorda_packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
}
vorda_build() {
    local dir=$1
    shift
    cmake -S "$VORDA_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    # VORDA_TARGETS, when set, names the only targets to build.
    if [ -n "${VORDA_TARGETS:-}" ]; then
        # shellcheck disable=SC2086
        cmake --build "$dir" -j2 --target $VORDA_TARGETS
    else
        cmake --build "$dir" -j2
    fi
}
# The path of the Debian package scripts/package.sh makes: dist/vorda_<the
# version of project() in CMakeLists.txt>_<the machine's architecture>.deb.
vorda_deb_path() {
    local version
    version=$(sed -n 's/^project(vorda VERSION \([^ )]*\).*/\1/p' "$VORDA_ROOT/CMakeLists.txt")
    echo "$VORDA_ROOT/dist/vorda_${version}_$(dpkg --print-architecture).deb"
}
VORDA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
