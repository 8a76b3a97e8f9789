#!/usr/bin/env bash
# Configures and builds into the given folder; further arguments go to CMake.
# Under CI (CI=true) warnings are errors.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLM_WERROR=$werror "$@" >/dev/null
cmake --build "$dir"
