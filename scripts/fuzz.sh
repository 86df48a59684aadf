#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang (AddressSanitizer and UBSan) and runs each
# one from its seeds: the small files of tests/fuzz/seeds, workbooks written at run time by the
# project's own writers, and the Access files of the shared fixtures.
#
#   bash scripts/fuzz.sh                    every target, 2000 runs each, 500 for the Access
#                                           reader (part of scripts/test.sh)
#   bash scripts/fuzz.sh -runs=10000000 fuzz_reply_text     longer runs of chosen targets
#
# Options starting with "-" go to libFuzzer; other words name targets. Each short run starts from a
# fresh corpus with a fixed seed, so it does the same every time. A crash leaves its input under
# build-fuzz/artifacts/<target>/ and makes the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang++ >/dev/null 2>&1; then
  echo "clang++ no está instalado: no se ejecutan los objetivos de fuzzing."
  exit 0
fi

build=${BRISANTA_FUZZ_BUILD:-build-fuzz}
shared=${BRISANTA_SHARED:-$PWD/../shared}
all_targets=(fuzz_reply_text fuzz_send_reply fuzz_quote_reply fuzz_cancel_reply fuzz_sender_reply
             fuzz_report_lines fuzz_watched_file fuzz_phone_rules fuzz_web_form fuzz_web_download fuzz_xlsx fuzz_xls fuzz_mdb)

options=()
targets=()
for argument in "$@"; do
  case "$argument" in
    -*) options+=("$argument") ;;
    *) targets+=("$argument") ;;
  esac
done
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")
short_run=true
for option in "${options[@]}"; do
  case "$option" in -runs=*|-max_total_time=*) short_run=false ;; esac
done

launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
# The build type is left empty so -O1 (fast enough, still exact stack traces) is all that applies.
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE= -DCMAKE_CXX_FLAGS="-O1 -g" \
  -DCMAKE_C_FLAGS="-O1 -g" -DBRISANTA_FUZZ=ON -DBRISANTA_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" --target fuzz_targets -j "${BRISANTA_JOBS:-$(nproc)}"

# Workbooks to start from, written by the project's .xlsx writer and the tests' .xls builder.
generated="$build/seeds"
rm -rf "$generated"
"$build/fuzz/make_fuzz_seeds" "$generated/fuzz_xlsx" "$generated/fuzz_xls"

export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:allocator_may_return_null=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

failed=()
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  artifacts="$build/artifacts/$target/"
  rm -rf "$corpus"
  mkdir -p "$corpus" "$artifacts"
  seeds=()
  [ -d "tests/fuzz/seeds/$target" ] && seeds+=("tests/fuzz/seeds/$target")
  [ -d "$generated/$target" ] && seeds+=("$generated/$target")
  extra=()
  if [ "$target" = fuzz_mdb ]; then
    if [ -d "$shared/fixtures/access" ]; then
      mkdir -p "$generated/fuzz_mdb"
      cp "$shared"/fixtures/access/*.mdb "$generated/fuzz_mdb/"
      seeds+=("$generated/fuzz_mdb")
    fi
    # The fixtures are whole databases; longer inputs only slow each run down.
    extra+=(-max_len=262144)
  fi
  # Each run of the Access reader rereads a whole database: fewer of them in the short run.
  if $short_run; then
    if [ "$target" = fuzz_mdb ]; then extra+=(-runs=500); else extra+=(-runs=2000); fi
  fi
  echo "== $target"
  if ! "$build/fuzz/$target" -seed=1 -timeout=30 -rss_limit_mb=2560 -print_final_stats=1 \
        -artifact_prefix="$artifacts" "${extra[@]}" "${options[@]}" "$corpus" "${seeds[@]}" \
        > "$build/$target.log" 2>&1; then
    tail -n 60 "$build/$target.log"
    failed+=("$target")
  else
    grep -E '^stat::number_of_executed_units|^Done ' "$build/$target.log" | tr '\n' ' '
    echo
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Objetivos de fuzzing con fallos: ${failed[*]} (entradas en $build/artifacts/)" >&2
  exit 1
fi
