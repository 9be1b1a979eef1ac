#!/usr/bin/env bash
# The sending benchmark: installs Postfix's smtp-sink (the package, without configuring or
# starting the mail service) and curl, builds tafelbot-cli in the release preset, and runs
# bench/send_bench.py with the arguments given (default: 33 and 200 mails, 3 runs each).
#
#   bash bench/send_bench.sh [N ...] [--repeat R]
set -euo pipefail
cd "$(dirname "$0")/.."

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
if ! command -v smtp-sink >/dev/null || ! command -v curl >/dev/null; then
    export DEBIAN_FRONTEND=noninteractive
    echo "postfix postfix/main_mailer_type select No configuration" | $SUDO debconf-set-selections
    # No service may start: the sink is all the benchmark needs.
    made_policy=""
    if [ ! -e /usr/sbin/policy-rc.d ]; then
        printf '#!/bin/sh\nexit 101\n' | $SUDO tee /usr/sbin/policy-rc.d >/dev/null
        $SUDO chmod +x /usr/sbin/policy-rc.d
        made_policy=1
    fi
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends postfix curl
    [ -z "$made_policy" ] || $SUDO rm -f /usr/sbin/policy-rc.d
fi
PATH=$PATH:/usr/sbin

cmake --preset release >/dev/null
cmake --build --preset release --target tafelbot-cli >/dev/null
/usr/bin/python3 bench/send_bench.py build/release/src/cli/tafelbot-cli "$@"
