#!/usr/bin/env bash
# Installs every Debian 12 package the client, the updater, the simulator, the tests and the
# benchmarks and the fuzz targets need, and only those that are missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libgl-dev
  qt6-translations-l10n
  libsqlcipher-dev
  libxlsxwriter-dev libquazip1-qt6-dev libfreexl-dev libexpat1-dev libminizip-dev
  mdbtools-dev libglib2.0-dev
  libcpp-httplib-dev libssl-dev zlib1g-dev libbrotli-dev
  libgumbo-dev
  libsodium-dev
  clang libclang-rt-dev
  libbenchmark-dev
  xvfb xauth
  valgrind strace
  python3 python3-openpyxl
  fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
echo "Instalando: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
