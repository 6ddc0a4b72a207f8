#!/usr/bin/env bash
# Installs what the build and the tests need, and nothing that is already present.
# Debian packages come through apt-get (as root); the IBM Plex fonts through npm pack,
# cached in .cache/ so that a second run fetches nothing.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cache="$here/.cache"

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-websockets-dev qt6-httpserver-dev qt6-qpa-plugins
    libgl-dev
    liboscpack-dev
    librtmidi-dev libasound2-dev libjack-jackd2-dev jackd2
    liblo-tools
    net-tools iproute2 procps
    xvfb openbox
    clang libclang-rt-dev
    libbenchmark-dev
    librsvg2-bin
    fonts-dejavu-core
    dpkg-dev desktop-file-utils appstream lintian
    rsync
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

# Node.js may come from another packaging that bundles npm; only the command matters.
command -v npm >/dev/null 2>&1 || missing+=(npm)

if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "setup: missing packages: ${missing[*]} (run as root to install them)" >&2
        exit 1
    fi
    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    # jackd2 asks about realtime priority through debconf; the answer does not matter here.
    echo "jackd2 jackd/tweak_rt_limits boolean false" | debconf-set-selections
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

fetch_font_package() {
    local package="$1" dir="$2"
    if [ -d "$cache/$dir" ]; then
        return
    fi
    mkdir -p "$cache/tmp"
    (cd "$cache/tmp" && npm pack --silent "$package" >/dev/null)
    local tarball
    tarball="$(ls "$cache"/tmp/*.tgz | head -n 1)"
    mkdir -p "$cache/$dir"
    tar -xzf "$tarball" -C "$cache/$dir" --strip-components=1
    rm -rf "$cache/tmp"
}

fetch_font_package "@ibm/plex-sans@1.1.0" plex-sans
fetch_font_package "@ibm/plex-mono@2.5.0" plex-mono
echo "setup: ready"
