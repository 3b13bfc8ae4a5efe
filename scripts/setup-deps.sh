#!/usr/bin/env bash
# Installs the Debian packages that building and testing Ledgerloom need, only those
# missing. As root it uses apt-get; otherwise it prints the command and fails.
set -euo pipefail

packages=(
    cmake g++ make pkg-config
    qt6-base-dev qt6-base-private-dev libsqlite3-dev libxlsxwriter-dev mdbtools-dev libcsv-dev libuchardet-dev
    sqlite3 mdbtools
    libpq-dev postgresql postgresql-contrib
    fonts-dejavu-core fonts-liberation fonts-wqy-microhei fonts-urw-base35
    poppler-utils
    unzip python3
    dpkg-dev file
    clang-14 libclang-rt-14-dev
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
    if [[ "$status" != installed ]]; then
        missing+=("$package")
    fi
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

if ((EUID == 0)); then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    apt-get install -y "${missing[@]}"
else
    echo "Missing Debian packages. Install them with:" >&2
    echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi
