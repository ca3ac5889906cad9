#!/usr/bin/env bash
# Installs what is missing, builds, and starts Lumbrel.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/bootstrap.sh"
exec "$BUILD_DIR/bin/lumbrel" "$@"
