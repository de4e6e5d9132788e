#!/usr/bin/env bash
# Installs what is missing, builds, lays out the data folder "Data" beside the program on the
# first run (never over existing books) and starts Tolva.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
build_dir=${TOLVA_BUILD_DIR:-build}
data_dir="$build_dir/bin/Data"
# New books only where there were none: a log, index or journal left by removed books would be
# played back into the new database. Where only such leftovers are, Tolva names them.
present=()
for name in tolva.sqlite tolva.sqlite-wal tolva.sqlite-shm tolva.sqlite-journal; do
    if [ -e "$data_dir/$name" ]; then
        present+=("$name")
    fi
done
if [ ${#present[@]} -eq 0 ]; then
    # Says itself what it made, or what it added to a folder whose layout stopped part way.
    "$build_dir/bin/tolva" --init-data "$data_dir"
elif [ ! -e "$data_dir/tolva.sqlite" ]; then
    echo "The data folder $data_dir has no tolva.sqlite but holds ${present[*]} of earlier books;" >&2
    echo "no new books are made over them. Restore the folder from a backup, or move those files away." >&2
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: starting Tolva on a virtual screen (xvfb-run)."
    exec xvfb-run -a "$build_dir/bin/tolva" "$@"
fi
exec "$build_dir/bin/tolva" "$@"
