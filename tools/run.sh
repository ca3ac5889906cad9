#!/usr/bin/env bash
# Installs what is missing, builds, and starts Lumbrel.
set -euo pipefail
# Without a display Lumbrel says how to start it under Xvfb: have Xvfb ready.
[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || LUMBREL_TOOLS="${LUMBREL_TOOLS:-} xvfb"
source "$(dirname "${BASH_SOURCE[0]}")/bootstrap.sh"
exec "$BUILD_DIR/bin/lumbrel" "$@"
