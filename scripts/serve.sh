#!/usr/bin/env bash
# Installs what is missing, builds, and serves the application. Arguments go to vantrel-host
# (see vantrel-host --help); without any it serves http://127.0.0.1:8080/farbale.asp from
# ~/.local/share/vantrel/data, on the loopback address only and without sign-in. It installs and
# builds only what serving needs: no test tools, no tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh serve
scripts/build.sh serve
exec "${VANTREL_BUILD_DIR:-build}/bin/vantrel-host" "$@"
