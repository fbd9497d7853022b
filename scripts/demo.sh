#!/usr/bin/env bash
# Builds the program, serves a simulated meter (map 5) on a pseudo-terminal
# as COM5 and starts the program against it. Without a display it runs under
# Xvfb, presses Connect itself and saves screenshots of the result.
set -euo pipefail
source "$(dirname "$0")/deps.sh"
vorda_install_deps
# The demo needs the programs and their data, not the tests and benchmarks.
[ -x "$VORDA_ROOT/build/stage/bin/vorda" ] ||
    echo "First build of the programs: about 2 minutes on a 2-core machine (230 s of CPU time)."
VORDA_TARGETS="vorda vorda-cli vorda-sim vorda_data" vorda_build "$VORDA_ROOT/build"
bin="$VORDA_ROOT/build/stage/bin"

work=$(mktemp -d /tmp/vorda-demo.XXXXXX)
export VORDA_PORT_DIR="$work/ports"
mkdir -p "$VORDA_PORT_DIR"
"$bin/vorda-sim" --port-dir "$VORDA_PORT_DIR" --com 5 --map "$VORDA_ROOT/data/ZUVMAP5.map" --paced \
    > "$work/sim.log" 2>&1 &
sim=$!
cleanup() {
    kill "$sim" 2>/dev/null || true
    [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 50); do grep -q '^ready' "$work/sim.log" && break; sleep 0.1; done
echo "Simulated meter: $(cat "$work/sim.log")"

if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then
    "$bin/vorda" "$@"
    exit 0
fi

export DISPLAY=:$((90 + RANDOM % 9))
Xvfb "$DISPLAY" -screen 0 1024x768x24 > "$work/xvfb.log" 2>&1 &
xvfb=$!
sleep 1
"$bin/vorda" "$@" > "$work/vorda.log" 2>&1 &
app=$!
wid=$(xdotool search --sync --name 'Read and Write Parameter Values' | head -1)
sleep 1
xdotool mousemove --window "$wid" 50 45 click 1
sleep 4
import -window root "$work/connected.png"
xdotool key Return
sleep 1
import -window root "$work/screen.png"
echo "Screenshot after Connect: $work/connected.png"
echo "Screenshot of the filled screen: $work/screen.png"
kill "$app" 2>/dev/null || true
