#!/usr/bin/env bash
# Installs what is missing, builds with sanitizers and runs every test headless, then every fuzz
# target briefly.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build=build-tests
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBRISANTA_SANITIZE=ON -DBRISANTA_WERROR=ON
cmake --build "$build" -j "${BRISANTA_JOBS:-$(nproc)}"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "${BRISANTA_JOBS:-$(nproc)}"
bash scripts/fuzz.sh
