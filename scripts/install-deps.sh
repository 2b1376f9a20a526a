#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and runs with.
# Safe to run again: packages already present are left alone.
# `file` and `dpkg-dev` (dpkg-shlibdeps) are what cpack needs to build the Debian package.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6dbus6 qt6-serialport-dev
  libgtest-dev libgmock-dev
  dbus dbus-bin python3 python3-dbus python3-gi
  xvfb xauth x11-apps imagemagick fonts-dejavu-core
  clang clang-format libclang-rt-14-dev libmodbus-dev
  file dpkg-dev
  qt6-multimedia-dev libfluidsynth-dev fluid-soundfont-gm fonts-liberation
  libsqlite3-dev sqlite3
  qt6-charts-dev libqt6opengl6-dev
  mosquitto libmosquitto-dev python3-paho-mqtt openssl
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages: ${missing[*]}" >&2
  echo "install-deps: run as root (or with sudo) to install them" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
