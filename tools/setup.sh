#!/usr/bin/env bash
# Installs the Debian packages Tessaly needs, when any is missing. Works as root or through sudo.
#
#   tools/setup.sh          what builds and runs the program (tools/run.sh)
#   tools/setup.sh test     that, and what the tests and benchmarks need besides (tools/test.sh)
#   tools/setup.sh package  that, and what making and checking the Debian package needs (tools/package.sh)
#
# Installing starts no service and leaves none set to start with the machine that was not set so
# before: Samba's packages would enable smbd, nmbd and samba-ad-dc, yet the tests start a server of
# their own on 127.0.0.1 and stop it.
set -euo pipefail

run_packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev qt6-translations-l10n
  libglib2.0-dev liblnk-dev nlohmann-json3-dev
  fonts-noto-cjk adwaita-icon-theme shared-mime-info
  xvfb xauth
)
test_packages=(
  ccache python3
  libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-x86-64 wine64 unicode-data nsis
  ntfs-3g attr desktop-file-utils appstream man-db dpkg-dev
  samba samba-vfs-modules smbclient
)

case "${1:-run}" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  package) packages=("${run_packages[@]}" dpkg-dev lintian) ;;
  *) echo "usage: $0 [run|test|package]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# The services set to start with the machine: systemd units wanted by a target, and SysV scripts
# with a start link in a multi-user run level. One a line, sorted.
enabled_services() {
  {
    find /etc/systemd/system -path '*.wants/*' -type l -printf '%f\n' 2>/dev/null || true
    find /etc/rc2.d /etc/rc3.d /etc/rc4.d /etc/rc5.d -name 'S*' -printf '%f\n' 2>/dev/null |
      sed 's/^S[0-9]*/sysv:/' || true
  } | LC_ALL=C sort -u
}

# While installing, a policy of "start nothing" (what invoke-rc.d and deb-systemd-invoke ask);
# a policy the machine had is put back afterwards.
policy=/usr/sbin/policy-rc.d
kept_policy=""
restore_policy() {
  $sudo rm -f "$policy"
  [ -z "$kept_policy" ] || $sudo mv "$kept_policy" "$policy"
}
if [ -e "$policy" ]; then
  kept_policy="$policy.tessaly-kept"
  $sudo mv "$policy" "$kept_policy"
fi
trap restore_policy EXIT
printf '#!/bin/sh\n# Installing Tessaly'"'"'s packages: no service is started.\nexit 101\n' | $sudo tee "$policy" >/dev/null
$sudo chmod 755 "$policy"

before=$(enabled_services)
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

# What the packages set to start with the machine is set back, so that an upgrade keeps it so.
LC_ALL=C comm -13 <(printf '%s\n' "$before") <(enabled_services) | while read -r service; do
  [ -n "$service" ] || continue
  case "$service" in
    sysv:*) $sudo update-rc.d "${service#sysv:}" disable >/dev/null 2>&1 || true ;;
    *)
      $sudo deb-systemd-helper disable "$service" >/dev/null 2>&1 || true
      $sudo find /etc/systemd/system -path "*.wants/$service" -type l -delete
      ;;
  esac
  echo "Not started with the machine: ${service#sysv:}"
done
