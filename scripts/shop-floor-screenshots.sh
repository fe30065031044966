#!/usr/bin/env bash
# Renders feedrail-dnc's web pages in a headless browser while simulated
# controls punch, ask for a program and listen: the shop floor light and
# dark, and one machine's page with its line monitor, into docs/.
# FEEDRAIL_BUILD=build/test takes the programs of that build as they are.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-debian.sh chromium
build=${FEEDRAIL_BUILD:-}
if [ -z "$build" ]; then
    build=build/run
    cmake --preset run >/dev/null
    cmake --build --preset run --target feedrail-dnc feedrail-machine
fi
dnc=$build/src/feedrail-dnc
machine=$build/tools/feedrail-machine

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR=$work

program() {
    printf '%%\n%s\n' "$1"
    for line in $(seq 1 "$2"); do
        printf 'N%d G1 X%d.5 Y-%d.25 F800.\n' "$line" "$((line % 997))" "$((line % 313))"
    done
    printf 'M30\n%%\n'
}
mkdir -p "$work/programs"
program O1234 3000 >"$work/punch.nc"
program O5678 3000 >"$work/programs/O5678.nc"

# Mill 1 punches, Mill 2 asks for O5678, Lathe 1 listens, Lathe 2's port is
# gone, the router is not served.
names=("Mill 1" "Mill 2" "Lathe 1" "Lathe 2" "Router")
ini=
for i in 1 2 3 4 5; do
    mkdir -p "$work/received/$i" "$work/control/$i"
    ini+="[${names[i - 1]}]
CommPort=$i
CommBaudRate=9600
CommHandshake=0
PunchType=1
DefaultDir=$work/programs/
ReceiveDir=$work/received/$i/
TransferLog=1
"
    [ "$i" -lt 5 ] && ini+="AutoReceive=1
RemoteRequest=1
"
done
printf '%s' "$ini" >"$work/DNC.ini"
for i in 1 2 3; do
    mkfifo "$work/keys$i"
    "$machine" --link "$work/com$i" --out "$work/control/$i" --code ascii --cps 960 \
        --punch-on-enter "$work/punch.nc" <"$work/keys$i" >"$work/control/$i.log" 2>&1 &
    pids+=($!)
done
exec 3>"$work/keys1" 4>"$work/keys2" 5>"$work/keys3"

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$dnc" --profiles "$work/" --http "$port" 2>"$work/service.log" &
pids+=($!)
for _ in $(seq 100); do
    [ "$("$dnc" status --profiles "$work/" 2>/dev/null | grep -c $'\tlistening')" -eq 3 ] && break
    sleep 0.1
done
printf '\n' >&3
printf 'request O5678\n' >&4
sleep 4

shoot() {
    chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --virtual-time-budget=2000 \
        --user-data-dir="$work/browser" --window-size="$1" --screenshot="$2" "${@:4}" \
        "http://127.0.0.1:$port$3" 2>/dev/null
}
shoot 1280,720 docs/shop-floor-light.png /
shoot 1280,720 docs/shop-floor-dark.png / --force-dark-mode
shoot 1280,900 docs/shop-floor-machine.png "/machine/Mill%201"
echo "Written: docs/shop-floor-light.png docs/shop-floor-dark.png docs/shop-floor-machine.png"
