#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each for SECONDS (default 60).
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true

bash scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target fuzzers

targets=("$@")
if ((${#targets[@]} == 0)); then
  mapfile -t targets < <(find build/fuzz/fuzz -maxdepth 1 -type f -executable -name 'fuzz_*' -printf '%f\n' | sort)
fi
for t in "${targets[@]}"; do
  corpus="build/fuzz/corpus/${t}"
  mkdir -p "${corpus}"
  seeds=()
  if [[ -d "fuzz/seeds/${t}" ]]; then seeds=("fuzz/seeds/${t}"); fi
  echo "== ${t}: ${seconds}s"
  "build/fuzz/fuzz/${t}" -max_total_time="${seconds}" -print_final_stats=1 "${corpus}" "${seeds[@]}" 2>&1 |
    grep -E 'stat::number_of_executed_units|ERROR|SUMMARY' || true
done
