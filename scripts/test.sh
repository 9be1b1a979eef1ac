#!/usr/bin/env bash
# Installs the build dependencies, builds Tafelbot with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test (unit, integration against a real SMTP server
# on 127.0.0.1, and the desktop program under Qt's offscreen platform).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --workflow --preset debug
