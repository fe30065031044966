#!/usr/bin/env bash
# Installs what is needed, builds Feedrail and starts it. The first time, the
# example profiles are put beside the program, with the mill's folder pointed
# at a copy of the example programs. Unless a com2 link to a real port is
# there, a simulated Haas-style control answers on com2: it stores what
# Feedrail sends it and punches O2000.nc back when Enter is pressed in this
# terminal. Closing Feedrail ends the simulated control; Ctrl+C ends it alone.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-debian.sh
cmake --preset run
cmake --build --preset run --target feedrail feedrail-machine
program_dir=build/run/src
programs=$PWD/build/run/programs
mkdir -p "$programs"
cp -n examples/*.nc "$programs/"
if [ ! -e "$program_dir/DNC.ini" ]; then
    sed "s|/srv/nc/mill/|$programs/|g" examples/DNC.ini >"$program_dir/DNC.ini"
    cp examples/DNCUtilities.ini "$program_dir/"
fi
if [ -e "$program_dir/com2" ]; then
    exec "$program_dir/feedrail"
fi

received=$PWD/build/run/machine
mkdir -p "$received"
# Feedrail starts once the control has linked its line; when Feedrail ends,
# so does the control (this shell's process, once replaced).
(
    for _ in $(seq 50); do
        [ -L "$program_dir/com2" ] && break
        sleep 0.1
    done
    # A session of its own: Ctrl+C in this terminal ends the control alone.
    setsid --wait "$program_dir/feedrail" || true
    kill -INT $$ 2>/dev/null || true
) &
echo "Simulated control on com2. Press Enter here to have it punch O2000.nc to Feedrail."
echo "Programs it receives are stored in $received."
exec build/run/tools/feedrail-machine receive --link "$program_dir/com2" --preset haas \
    --code iso --eob lf --buffer 256 --drain 200 --cps 480 --out "$received" \
    --punch-on-enter "$programs/O2000.nc"
