#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12 (bookworm) or 13 (trixie).
# Idempotent: packages that are already installed and locales already generated are skipped, so a
# second run takes seconds.
set -euo pipefail

# The package names below exist in both releases; anything else may lack them or name them
# otherwise, so it is refused up front rather than halfway through an install.
. /etc/os-release 2>/dev/null || true
case "${ID:-}:${VERSION_CODENAME:-}" in
debian:bookworm | debian:trixie) ;;
*)
    echo "setup: Germcatcher builds on Debian 12 (bookworm) and Debian 13 (trixie) only; this is ${PRETTY_NAME:-an unknown system}" >&2
    exit 1
    ;;
esac

packages=(
    cmake make g++ clang libclang-rt-dev clang-format libgtest-dev googletest python3 python3-venv e2fsprogs
    strace
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    wine wine64 xvfb xdotool x11-utils imagemagick fonts-wine
    locales fonts-ipafont-gothic fonts-ipafont-mincho
    librsvg2-bin pngquant icoutils osslsigncode openssl
)
locales_wanted=(ja_JP.UTF-8 en_US.UTF-8 de_DE.UTF-8 ko_KR.UTF-8)

sudo=""
if [ "$(id -u)" != 0 ]; then sudo="sudo"; fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# npm, for the workflow linter, unless a Node.js with npm is there already.
if ! command -v npm >/dev/null 2>&1; then
    echo "setup: installing npm"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends npm >/dev/null
fi

regen=0
for l in "${locales_wanted[@]}"; do
    if ! locale -a 2>/dev/null | grep -qix "${l/UTF-8/utf8}"; then
        $sudo sed -i "s/^# *\(${l} UTF-8\)/\1/" /etc/locale.gen
        grep -q "^${l} UTF-8" /etc/locale.gen || echo "${l} UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
        regen=1
    fi
done
if [ $regen = 1 ]; then
    echo "setup: generating locales"
    $sudo locale-gen >/dev/null
fi
