#!/usr/bin/env bash
# Installs what is missing, builds Ostrel and runs its main job against two simulated scales:
# a fresh settings folder, a PLU file with non-ASCII names (UTF-8 with a byte-order mark),
# one update run, then the log lines, the backups and what each scale now holds.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev -j "$(nproc)" --target ostrel ostrel-scale-sim

bin=build/dev
work=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-demo.XXXXXX")
sim_pid=""
cleanup() {
  if [[ -n "${sim_pid}" ]]; then kill "${sim_pid}" 2>/dev/null || true; wait "${sim_pid}" 2>/dev/null || true; fi
  rm -rf "${work}"
}
trap cleanup EXIT

export OSTREL_DOCUMENTS="${work}/Documents"
export OSTREL_INSTANCE_NAME="ostrel-demo-$$"
export OSTREL_REGISTRY="${work}/registry.ini"
export XDG_RUNTIME_DIR="${work}"
mkdir -p "${OSTREL_DOCUMENTS}" "${work}/plu-in"
config="${OSTREL_DOCUMENTS}/VEK/Ostrel/Config"

echo "== 1. settings from the template"
"${bin}/src/app/ostrel" --init-config

echo "== 2. two scales, the PLU folder and the file names"
port=20304
set_key() { # section key value: the template has every section, so insert below its header
  sed -i "/^\[$1\]/a $2=$3" "${config}/Tarvik.ini"
}
set_key PATH "PLU ROOT" "${work}/plu-in"
set_key PATH PREFIX PLU
set_key PATH EXTENTION TXT
set_key IPLIST IP000 "127.0.0.2:${port},S"
set_key IPLIST IP001 "127.0.0.3:${port},S"
set_key IPNAME 127.000.000.002 "Deli counter"
set_key IPNAME 127.000.000.003 "Cheese counter"
set_key MODEL IP000 QV7100
set_key MODEL IP001 QV7600
set_key SCALEVERSION IP000 "1.00,1.0,1"
set_key SCALEVERSION IP001 "1.00,1.0,1"
grep -E '^(IP0|PLU ROOT|PREFIX|EXTENTION|Decimal)' "${config}/Tarvik.ini" | sed 's/^/   /'

echo "== 3. a PLU file from the back office (UTF-8 with BOM; columns: dept, PLU, type, name, price, item code)"
plu="${work}/plu-in/PLU0001.TXT"
{
  printf '\xEF\xBB\xBF'
  printf '1,101,0,Äpfel Elstar,2.49,101\r\n'
  printf '1,102,0,Birnen Williams,3.19,102\r\n'
  printf '2,201,0,Crème brûlée,4.5,201\r\n'
  printf '2,202,0,Käse Gruyère,21.90,202\r\n'
  printf '3,301,0,Jamón serrano,32,301\r\n'
} > "${plu}"
sed 's/^/   /' "${plu}"

echo "== 4. the simulated scales"
"${bin}/tools/scale-sim/ostrel-scale-sim" --db "${work}/scales.db" --no-scan \
  --scale "127.0.0.2:${port}:QV7100" --scale "127.0.0.3:${port}:QV7600" > "${work}/sim.out" 2> "${work}/sim.err" &
sim_pid=$!
for _ in $(seq 1 100); do
  if grep -q '^ready' "${work}/sim.out" 2>/dev/null; then break; fi
  sleep 0.1
done
sed 's/^/   /' "${work}/sim.out"

echo "== 4b. what the scales will get: ostrel --preview (sends nothing)"
OSTREL_TRACE=0 "${bin}/src/app/ostrel" --preview | sed 's/^/   /'

echo "== 5. one update run: ostrel --once"
set +e
OSTREL_TRACE=0 "${bin}/src/app/ostrel" --once
status=$?
set -e
echo "   exit status ${status}"

echo "== 6. the log"
sed 's/\r$//; s/^/   /' "${OSTREL_DOCUMENTS}/VEK/Ostrel/Log/Ostrel.log"

echo "== 7. the PLU folder after the run (backups)"
ls -1 "${work}/plu-in" | sed 's/^/   /'

echo "== 8. what each scale now holds"
for scale in "127.0.0.2:${port}" "127.0.0.3:${port}"; do
  echo "   scale ${scale}:"
  sqlite3 -separator ' | ' "${work}/scales.db" \
    "SELECT 'dept ' || department, 'PLU ' || plu_number, 'item ' || item_code, 'price ' || price, CAST(name AS TEXT) FROM plu WHERE scale = '${scale}' ORDER BY department, plu_number;" |
    iconv -f "${OSTREL_CODEPAGE:-CP1252}" -t UTF-8 | sed 's/^/     /'
done

exit "${status}"
