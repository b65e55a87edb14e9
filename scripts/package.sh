#!/usr/bin/env bash
# Builds the Debian packages ostrel and ostrel-scale-sim from a Release build with Debian's
# hardening flags, and checks them with lintian. The packages land in build/package/.
# OSTREL_PACKAGE_BUILD_DIR overrides the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build=${OSTREL_PACKAGE_BUILD_DIR:-build/package}
# Through the compiler cache unless the caller chose a launcher: CI builds this beside dev.
if [[ -z ${CMAKE_CXX_COMPILER_LAUNCHER:-} ]] && command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
# hardening=+all: -D_FORTIFY_SOURCE=2, -fstack-protector-strong, -z relro -z now, PIE.
# dpkg-buildflags also maps this folder to "." so that no path of this machine is compiled in.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)

cmake -S . -B "${build}" -G Ninja \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="${cxxflags}" \
  -DCMAKE_EXE_LINKER_FLAGS="${ldflags}" \
  -DCMAKE_STRIP="${PWD}/packaging/debian/strip" \
  -DOSTREL_BUILD_TESTS=OFF -DOSTREL_BUILD_BENCH=OFF \
  -DOSTREL_MAN_PAGES=ON -DOSTREL_SOURCE_TREE_TEMPLATE=OFF >/dev/null
cmake --build "${build}" -j "$(nproc)"
rm -f "${build}"/*.deb
(cd "${build}" && cpack -G DEB >/dev/null)

echo "== lintian"
# --fail-on warning: an error or a warning fails the build; info tags are listed.
lintian --fail-on error,warning --info --display-info "${build}"/*.deb
ls "${build}"/*.deb
