#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need, skipping
# those already present, and makes the German locale available for the locale tests.
# "scripts/setup.sh fuzz" adds what scripts/fuzz.sh needs: clang 14 with its libFuzzer
# and sanitizer runtimes, and llvm-symbolizer for readable crash reports;
# "scripts/setup.sh format" adds clang-format 14 for scripts/check-format.sh;
# "scripts/setup.sh package" adds what scripts/package.sh needs: help2man for the man
# pages, dpkg-dev and file for the package's dependencies, lintian, desktop-file-utils
# and appstream for the checks.
set -euo pipefail

packages=(
    cmake g++ make ninja-build pkg-config
    qt6-base-dev qt6-tools-dev qt6-l10n-tools qt6-image-formats-plugins qt6-translations-l10n
    libgl-dev
    libopencv-core-dev libfast-float-dev
    libproj-dev libgeotiff-dev libtiff-dev
    gdal-bin poppler-utils
    libgtest-dev libgmock-dev libbenchmark-dev
    p7zip-full
    fonts-dejavu-core
    xvfb xauth
    locales
)

for group in "$@"; do
    case "$group" in
        fuzz) packages+=(clang-14 libclang-rt-14-dev llvm-14) ;;
        format) packages+=(clang-format-14) ;;
        package) packages+=(help2man dpkg-dev file lintian desktop-file-utils appstream) ;;
        *) echo "scripts/setup.sh: unknown package group \"$group\" (known: fuzz, format, package)" >&2; exit 2 ;;
    esac
done

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    as_root apt-get update -qq
    as_root apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    echo "Generating the de_DE.UTF-8 locale"
    as_root sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
    as_root locale-gen >/dev/null
fi
