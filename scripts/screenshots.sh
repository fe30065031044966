#!/usr/bin/env bash
# Renders the main window, the "DNC Settings" dialog (also with its list of
# ports open), the "Automation" dialog, the about box and a send to the
# simulated control under a virtual X server into docs/, with the examples.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-debian.sh xvfb xauth
cmake --preset run >/dev/null
cmake --build --preset run --target feedrail-screenshots
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" \
    build/run/tools/feedrail-screenshots examples docs
echo "Written: docs/main-window.png docs/dnc-settings.png docs/settings-port-list.png" \
    "docs/automation.png docs/sending.png docs/about.png"
