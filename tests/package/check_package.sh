#!/usr/bin/env bash
# Checks a built Debian package: its file list, the desktop entry and the
# metainfo against their validators, lintian, the programs run from the
# unpacked tree (the window offscreen, a simulated meter read through the
# installed maps), and, as root, a real install and removal.
#   bash tests/package/check_package.sh dist/vorda_<version>_<arch>.deb
set -euo pipefail
deb=${1:?usage: check_package.sh PACKAGE.deb}
deb=$(realpath "$deb")
id=org.vorda.Vorda
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

work=$(mktemp -d /tmp/vorda-package-check.XXXXXX)
sim=""
cleanup() {
    [ -n "$sim" ] && kill "$sim" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

echo "== file list"
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|; s|/$||' > "$work/files"
expected=(
    /usr/bin/vorda /usr/bin/vorda-cli /usr/lib/vorda/vorda-sim
    /usr/share/vorda/VORDADisplayData.txt
    /usr/share/ZUVMeters/VORDA/VORDAReadMe.txt /usr/share/ZUVMeters/VORDA/ZUVMAP0.Map
    /usr/share/ZUVMeters/VORDA/ZUVMAP4.Map /usr/share/ZUVMeters/VORDA/ZUVMAP5.map
    /usr/share/ZUVMeters/VORDA/ZUVMAP127.Map
    "/usr/share/applications/$id.desktop" "/usr/share/metainfo/$id.metainfo.xml"
    "/usr/share/icons/hicolor/scalable/apps/$id.svg"
    /usr/share/man/man1/vorda.1.gz /usr/share/man/man1/vorda-cli.1.gz
    /usr/share/doc/vorda/copyright /usr/share/doc/vorda/changelog.gz
)
for n in 16 22 24 32 48 64 128 256; do expected+=("/usr/share/icons/hicolor/${n}x${n}/apps/$id.png"); done
for f in "${expected[@]}"; do grep -qxF "$f" "$work/files" || fail "$f is not in the package"; done
grep -qxF /usr/bin/vorda-sim "$work/files" && fail "vorda-sim is in /usr/bin"

echo "== control fields"
depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6sql6-sqlite qt6-qpa-plugins libqt6core6 libqt6serialport6; do
    grep -qE "(^|, )$p( |,|$)" <<< "$depends" || fail "Depends lacks $p: $depends"
done
grep -q libqt6sql6-psql <<< "$(dpkg-deb -f "$deb" Recommends)" || fail "Recommends lacks libqt6sql6-psql"

echo "== unpacked tree"
root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"
for n in 16 22 24 32 48 64 128 256; do
    file "$root/usr/share/icons/hicolor/${n}x${n}/apps/$id.png" | grep -q "PNG image data, $n x $n" \
        || fail "the ${n}x${n} icon is not a $n px PNG"
done
for page in vorda vorda-cli; do
    man -l "$root/usr/share/man/man1/$page.1.gz" > /dev/null 2> "$work/man.err" && ! [ -s "$work/man.err" ] \
        || fail "man page $page: $(cat "$work/man.err")"
done
version=$(dpkg-deb -f "$deb" Version)
for p in vorda vorda-cli; do
    out=$("$root/usr/bin/$p" --version) || fail "$p --version failed"
    [ "$out" = "$p $version" ] || fail "$p --version printed '$out', not '$p $version'"
done

# A new account's start-up seeds the user folder from the installed files;
# a read of a simulated meter then goes through the installed map 5 and the
# display data, and the data check of the saved file against map 5 passes.
# as_new_user HOME COMMAND...: runs the command on a new account of that home.
as_new_user() {
    local home=$1
    shift
    mkdir -p "$home"
    HOME="$home" XDG_CONFIG_HOME="$home/.config" VORDA_PORT_DIR="$work/ports" "$@"
}
mkdir -p "$work/ports"
"$root/usr/lib/vorda/vorda-sim" --port-dir "$work/ports" --com 5 \
    --map "$root/usr/share/ZUVMeters/VORDA/ZUVMAP5.map" > "$work/sim.log" 2>&1 &
sim=$!
for _ in $(seq 100); do grep -q '^ready' "$work/sim.log" && break; sleep 0.1; done
grep -q '^ready' "$work/sim.log" || fail "vorda-sim did not start: $(cat "$work/sim.log")"
as_new_user "$work/cli-home" "$root/usr/bin/vorda-cli" read --com 5 -o "$work/meter.epf" > "$work/read.log" 2>&1 \
    || fail "vorda-cli read from the unpacked tree: $(cat "$work/read.log")"
for f in ZUVMAP5.map VORDAReadMe.txt; do
    [ -f "$work/cli-home/ZUVMeters/VORDA/$f" ] || fail "vorda-cli's start-up did not copy $f from the installed files"
done
as_new_user "$work/cli-home" "$root/usr/bin/vorda-cli" check 5 "$work/meter.epf" > "$work/check.log" 2>&1 \
    || fail "vorda-cli check 5 of the read file: $(cat "$work/check.log")"
kill "$sim" 2>/dev/null || true
wait "$sim" 2>/dev/null || true
sim=""

# The window starts on a new account from the installed files, seeds its
# user folder from them and stays up until ended.
QT_QPA_PLATFORM=offscreen as_new_user "$work/window-home" "$root/usr/bin/vorda" > "$work/window.log" 2>&1 &
app=$!
for _ in $(seq 100); do [ -f "$work/window-home/ZUVMeters/VORDA/ZUVMAP5.map" ] && break; sleep 0.1; done
sleep 1
if kill -0 "$app" 2>/dev/null; then
    kill -TERM "$app"
    wait "$app" 2>/dev/null || true
else
    wait "$app" 2>/dev/null || true
    fail "the window ended at start-up: $(cat "$work/window.log")"
fi
[ -f "$work/window-home/ZUVMeters/VORDA/ZUVMAP5.map" ] || fail "the window's start-up did not copy the installed maps"

echo "== lintian"
lintian --no-tag-display-limit "$deb" | tee "$work/lintian.log" || true
grep -q '^E: ' "$work/lintian.log" && fail "lintian reports errors"

if [ "$(id -u)" -eq 0 ]; then
    echo "== install"
    if dpkg-query -W -f='${Status}' vorda 2>/dev/null | grep -q "install ok installed"; then
        fail "a vorda package is installed already; not replacing it"
    else
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb" || fail "apt-get install"
        for p in vorda vorda-cli; do
            [ "$(/usr/bin/$p --version)" = "$p $version" ] || fail "installed $p --version"
        done
        dpkg -r vorda || fail "dpkg -r vorda"
        [ ! -e /usr/bin/vorda ] || fail "/usr/bin/vorda is left after removal"
    fi
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures package check(s) failed" >&2
    exit 1
fi
echo "package checks passed: $deb"
