#!/usr/bin/env bash
# Builds everything and runs every test.
set -euo pipefail
source "$(dirname "$0")/deps.sh"
vorda_install_deps
vorda_build "$VORDA_ROOT/build"
cd "$VORDA_ROOT/build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300
