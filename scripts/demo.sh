#!/usr/bin/env bash
# Installs the build dependencies, builds Tafelbot (release) and runs the main job on the
# bundled demo school.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --workflow --preset release
echo "Built: build/release/src/cli/tafelbot-cli and build/release/src/app/tafelbot"
