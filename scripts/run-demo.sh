#!/usr/bin/env bash
# Installs what is missing, builds, starts the gateway simulator with a demo account and the client
# against it; the simulator stops when the client ends.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build=build-demo
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRISANTA_TESTS=OFF
cmake --build "$build" -j "${BRISANTA_JOBS:-$(nproc)}"

home="${BRISANTA_HOME:-$HOME/.local/share/brisanta-demo}"
# The simulator keeps its accounts, balance and sends beside the demo's database, so the history
# of a later run still finds every send of the earlier ones. A database without that file was made
# against a simulator that forgot its sends on ending: its history would ask about sends the
# simulator does not know. That folder is put aside, whole, and the demo starts afresh.
state="$home/pasarela-simulada.json"
if [ -e "$home/bbdd.mdb" ] && [ ! -e "$state" ]; then
  aside="$home.anterior-$(date +%Y%m%d-%H%M%S)"
  mv "$home" "$aside"
  echo "La carpeta de la demostración no guardaba el estado del simulador de la pasarela; se ha apartado en" \
       "$aside y la demostración empieza de cero."
fi
mkdir -p "$home"
echo "Base de datos de la demostración: $home/bbdd.mdb (borre la carpeta $home para empezar de cero)"
cp -n "$build/bin/Virizu.skn" "$home/" 2>/dev/null || true

fifo_dir=$(mktemp -d)
trap 'kill "$sim_pid" 2>/dev/null || true; rm -rf "$fifo_dir"' EXIT
"$build/tools/gateway-sim/brisanta-gateway-sim" --port 0 --demo --state "$state" > "$fifo_dir/sim.out" &
sim_pid=$!
for _ in $(seq 1 100); do
  url=$(head -n 1 "$fifo_dir/sim.out" 2>/dev/null || true)
  [ -n "$url" ] && break
  sleep 0.1
done
[ -n "$url" ] || { echo "El simulador de la pasarela no ha arrancado (su estado está en $state)." >&2; exit 1; }
echo "Simulador de la pasarela en $url (cuenta de demostración: demo / demo)"

launcher=()
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  # Without a display the client still starts, on a virtual screen nobody sees: say so, or the
  # script looks hung.
  echo "No hay pantalla (DISPLAY y WAYLAND_DISPLAY están vacías): el cliente se ejecuta en una pantalla" \
       "virtual (xvfb-run) que no se ve. Pulse Ctrl+C para terminar; para ver las ventanas, ejecute este" \
       "script desde una sesión gráfica." >&2
  launcher=(xvfb-run -a)
fi
BRISANTA_URL_BASE="$url" BRISANTA_HOME="$home" "${launcher[@]}" "$build/bin/Brisanta"
