#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/bootstrap.sh"
cd "$BUILD_DIR"
ctest --output-on-failure --timeout 600 "$@"
