#!/usr/bin/env bash
# Installs what is missing, builds, lays out the data folder "Data" beside the program on the
# first run (never over existing books) and starts Tolva.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
build_dir=${TOLVA_BUILD_DIR:-build}
if [ ! -e "$build_dir/bin/Data/tolva.sqlite" ]; then
    "$build_dir/bin/tolva" --init-data "$build_dir/bin/Data"
    echo "Created the data folder $build_dir/bin/Data"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: starting Tolva on a virtual screen (xvfb-run)."
    exec xvfb-run -a "$build_dir/bin/tolva" "$@"
fi
exec "$build_dir/bin/tolva" "$@"
