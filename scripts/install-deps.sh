#!/usr/bin/env bash
# Installs the Debian packages (and, for the tests, the node modules) the project needs, only
# those missing. "serve" installs what building and running the programs needs; "test" (the
# default) adds the tests' tools: GoogleTest, node, chromium, the other zip tools, the packaging
# checks, the sanitizers' compiler.
set -euo pipefail
cd "$(dirname "$0")/.."
set_name="${1:-test}"

serve_packages=(
    build-essential cmake pkg-config
    libzip-dev zlib1g-dev libdeflate-dev libisal-dev liblzma-dev libzstd-dev libcpp-httplib-dev libssl-dev libpam0g-dev libcrypt-dev libicu-dev
    libsystemd-dev
    qt6-base-dev libgl-dev
)
test_packages=(
    git openssl
    libgtest-dev libgmock-dev
    fonts-liberation fonts-dejavu-core xvfb xauth
    chromium
    zip unzip 7zip
    systemd help2man lintian nginx file
    clang-14 libclang-rt-14-dev llvm-14
)

case "$set_name" in
    serve) packages=("${serve_packages[@]}") ;;
    test) packages=("${serve_packages[@]}" "${test_packages[@]}") ;;
    *)
        echo "usage: $0 [serve|test]" >&2
        exit 2
        ;;
esac

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Node may come from another packaging that bundles npm; Debian's npm would conflict with it.
if [ "$set_name" = test ] && { ! command -v node >/dev/null || ! command -v npm >/dev/null; }; then
    missing+=(nodejs npm)
fi
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=""
    [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The browser tests drive Debian's chromium; nothing may download a browser of its own.
if [ "$set_name" = test ] && [ ! -d tests/browser/node_modules/playwright-core ]; then
    (cd tests/browser && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --silent)
fi
