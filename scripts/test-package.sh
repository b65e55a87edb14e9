#!/usr/bin/env bash
# Builds the packages (scripts/package.sh), unpacks them into a throwaway root and checks what
# a packager and a first user would: the file list, the conffile, no build paths, hardening,
# --version of both programs, and --init-config from the installed template.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/package.sh
build=${OSTREL_PACKAGE_BUILD_DIR:-build/package}
version=$(sed -n 's/^project(Ostrel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
main_deb="${build}/ostrel_${version}_amd64.deb"
sim_deb="${build}/ostrel-scale-sim_${version}_amd64.deb"

root=$(mktemp -d)
trap 'rm -rf "${root}"' EXIT
fail() { echo "test-package: $*" >&2; exit 1; }

echo "== file list"
{
  dpkg -c "${main_deb}" | awk '$1 !~ /^d/ {print "ostrel", $6}'
  dpkg -c "${sim_deb}" | awk '$1 !~ /^d/ {print "ostrel-scale-sim", $6}'
} | sort >"${root}/files"
grep -v '^#' packaging/expected-files.txt | sort | diff -u - "${root}/files" ||
  fail "the packages' files differ from packaging/expected-files.txt"
dpkg-deb -I "${main_deb}" conffiles | grep -qx /etc/xdg/autostart/ostrel.desktop ||
  fail "the autostart entry is not a conffile"

dpkg -x "${main_deb}" "${root}/inst"
dpkg -x "${sim_deb}" "${root}/inst"

echo "== binaries"
# Each tool's output is read whole: grep -q ending a pipe early would fail it under pipefail.
for program in ostrel ostrel-scale-sim; do
  binary="${root}/inst/usr/bin/${program}"
  text=$(strings -a "${binary}")
  [[ ${text} != *"${PWD}"* ]] || fail "${program} holds a path of the build machine (${PWD})"
  dynamic=$(readelf -d "${binary}")
  grep -q 'FLAGS_1.*NOW.*PIE' <<<"${dynamic}" || fail "${program}: not PIE with -z now"
  grep -q GNU_RELRO <<<"$(readelf -lW "${binary}")" || fail "${program}: no RELRO"
  symbols=$(nm -D "${binary}")
  grep -q __stack_chk_fail <<<"${symbols}" || fail "${program}: no stack protector"
  [[ $("${binary}" --version) == "${program} ${version}" ]] || fail "${program} --version"
done
grep -q '_chk@' <<<"$(nm -D "${root}/inst/usr/bin/ostrel")" || fail "ostrel: not fortified"

echo "== --init-config from the installed template"
docs="${root}/documents"
mkdir -p "${docs}"
OSTREL_TEMPLATE_DIR="" OSTREL_DOCUMENTS="${docs}" "${root}/inst/usr/bin/ostrel" --init-config
for file in Tarvik.ini PluID.ini plustruct.str; do
  cmp -s "${root}/inst/usr/share/ostrel/config-template/${file}" \
    "${docs}/VEK/Ostrel/Config/${file}" || fail "--init-config did not install ${file}"
done
# A second run keeps what the user has.
echo "; edited" >>"${docs}/VEK/Ostrel/Config/Tarvik.ini"
OSTREL_DOCUMENTS="${docs}" "${root}/inst/usr/bin/ostrel" --init-config >/dev/null
grep -q '; edited' "${docs}/VEK/Ostrel/Config/Tarvik.ini" || fail "--init-config overwrote a file"

echo "== metadata"
desktop-file-validate "${root}/inst/usr/share/applications/ostrel.desktop" \
  "${root}/inst/etc/xdg/autostart/ostrel.desktop"
# Pedantic hints are shown; errors and warnings fail.
appstreamcli validate --no-net --pedantic \
  "${root}/inst/usr/share/metainfo/org.ostrel.Ostrel.metainfo.xml"
mkdir -p "${root}/run" && chmod 700 "${root}/run"
XDG_RUNTIME_DIR="${root}/run" systemd-analyze security --user --offline=true --threshold=49 \
  "${root}/inst/usr/lib/systemd/user/ostrel.service" | tail -1
echo "test-package: ok"
