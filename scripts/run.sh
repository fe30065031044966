#!/usr/bin/env bash
# Installs what is needed, builds Feedrail and starts it. The first time, the
# example profiles are put beside the program.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-debian.sh
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
cmake --build build/run --target feedrail
program_dir=build/run/src
if [ ! -e "$program_dir/DNC.ini" ]; then
    cp examples/DNC.ini examples/DNCUtilities.ini "$program_dir/"
fi
exec "$program_dir/feedrail"
