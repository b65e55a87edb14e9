#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build with clang-tidy and
# the Debian packages, then the address/undefined sanitizer build, then the thread-sanitizer
# run of the threaded tests.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/check-format.sh
bash scripts/check-rooms.sh

jobs=$(nproc)
for preset in dev asan; do
  echo "== ${preset}: configure and build"
  cmake --preset "${preset}" >/dev/null
  cmake --build --preset "${preset}" -j "${jobs}"
  echo "== ${preset}: tests"
  ctest --preset "${preset}" -j "${jobs}" --timeout 300
  if [[ ${preset} == dev ]]; then
    echo "== clang-tidy (src/ and tools/, over the dev build's compile commands)"
    bash scripts/clang-tidy.sh build/dev
    echo "== packages: Release build, lintian, unpacked into a throwaway root"
    bash scripts/test-package.sh
  fi
done

# ThreadSanitizer: the tests that run the scale link's thread against callers; only their
# programs are built.
echo "== tsan: configure and build"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "${jobs}" --target threads_tests
echo "== tsan: tests labelled 'threads'"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --preset tsan -j "${jobs}" --timeout 300 -L threads --no-tests=ignore
