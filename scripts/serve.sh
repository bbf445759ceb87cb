#!/usr/bin/env bash
# Installs what is missing, builds, and serves the application. Arguments go to vantrel-host
# (see vantrel-host --help); without any it serves http://127.0.0.1:8080/farbale.asp from
# ~/.local/share/vantrel/data, on the loopback address only and without sign-in.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
exec "${VANTREL_BUILD_DIR:-build}/bin/vantrel-host" "$@"
