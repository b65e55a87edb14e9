#!/usr/bin/env bash
# Installs what is missing, builds Ostrel and runs its main job.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev -j "$(nproc)"

./build/dev/src/app/ostrel --help
