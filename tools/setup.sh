#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Kova needs.
# Idempotent: when everything is present it returns at once without touching apt.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git debootstrap
  qt6-base-dev qt6-svg-dev libqt6svg6 libqt6sql6-sqlite qt6-qpa-plugins
  libcurl4-openssl-dev libgumbo-dev libsqlite3-dev libjpeg62-turbo-dev
  libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev
  fonts-arphic-uming fonts-arphic-ukai fonts-wqy-zenhei fontconfig
  xvfb xauth xdotool imagemagick x11-utils sqlite3 qt6-translations-l10n
  dbus-daemon dunst at-spi2-core python3-pyatspi
  clang libclang-rt-14-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: missing packages: ${missing[*]}" >&2
  echo "setup: run as root (or install them with apt-get)" >&2
  exit 1
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
