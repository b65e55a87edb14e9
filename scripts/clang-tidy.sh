#!/usr/bin/env bash
# clang-tidy with the repository's .clang-tidy over every source file of src/ and tools/;
# fails on any finding. Needs a build folder with compile_commands.json (default build/dev).
# A file found clean is remembered under OSTREL_TIDY_CACHE (default ~/.cache/ostrel-tidy) by
# a key of its own text, every header of the tree, .clang-tidy and the tool and library
# versions, so a repeated run checks only what may have changed. Findings are never cached.
# Usage: scripts/clang-tidy.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build/dev}"
[[ -f "${build}/compile_commands.json" ]] || {
  echo "clang-tidy: no ${build}/compile_commands.json; configure that build first" >&2
  exit 2
}
cache="${OSTREL_TIDY_CACHE:-${HOME}/.cache/ostrel-tidy}"
mkdir -p "${cache}"

# Headers are shared by many files, so any change in one re-checks them all.
common=$({
  clang-tidy --version
  dpkg-query -W qt6-base-dev libasio-dev libsqlite3-dev 2>/dev/null || true
  cat .clang-tidy
  git ls-files -z 'src/*.h' 'tools/*.h' | xargs -0 sha256sum
} | sha256sum | cut -c1-64)

todo=()
keys=()
while IFS= read -r -d '' file; do
  key=$(cat <(echo "${common}") "${file}" | sha256sum | cut -c1-64)
  if [[ ! -e "${cache}/${key}" ]]; then
    todo+=("${file}")
    keys+=("${key}")
  fi
done < <(git ls-files -z 'src/*.cpp' 'tools/*.cpp')

echo "clang-tidy: ${#todo[@]} file(s) to check"
((${#todo[@]} > 0)) || exit 0

results=$(mktemp -d)
trap 'rm -rf "${results}"' EXIT
check_one() { # FILE KEY: a clean file gets its cache entry, any finding a log
  if clang-tidy -p "${build}" --quiet --warnings-as-errors='*' "$1" >"${results}/$2.log" 2>&1
  then
    touch "${cache}/$2"
  else
    echo "$1" >"${results}/$2.failed"
  fi
}
export -f check_one
export build results cache
for i in "${!todo[@]}"; do
  printf '%s\0%s\0' "${todo[$i]}" "${keys[$i]}"
done | xargs -0 -n 2 -P "${OSTREL_TIDY_JOBS:-$(nproc)}" bash -c 'check_one "$@"' _

failed=("${results}"/*.failed)
if [[ -e ${failed[0]} ]]; then
  for marker in "${failed[@]}"; do
    grep -v ' warnings\? generated\.$' "${marker%.failed}.log" || true
  done
  echo "clang-tidy: findings in ${#failed[@]} file(s)" >&2
  exit 1
fi
echo "clang-tidy: clean"
