#!/usr/bin/env bash
# Installs the Debian packages the builds, tests and tools need.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  googletest libgtest-dev libbenchmark-dev libcli11-dev
  g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64
  libturbojpeg0-dev libjpeg62-turbo-dev libpng-dev zlib1g-dev
  valgrind
  libpappl-dev pkg-config cups-ipp-utils cups-daemon cups-client ghostscript
  libavahi-client-dev libpam0g-dev python3
  # The printer app's package and its checks: dpkg-shlibdeps for CPack's
  # dependencies, lintian, systemd-analyze, and ip for the network namespace
  # of the device-list test.
  dpkg-dev lintian systemd iproute2
  # A real text document for the print server's benchmark.
  groff-base man-db
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if ((${#missing[@]} == 0)); then
  exit 0
fi

sudo=""
if [ "$(id -u)" != 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
