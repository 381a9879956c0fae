#!/bin/sh
# Installs the Debian packages that building and testing zumtal need, when
# they are missing. Extra package names may be given as arguments.
set -eu
need=""
for pkg in cmake g++ make ninja-build libgtest-dev zlib1g-dev groff-base dpkg-dev "$@"; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need="$need $pkg"
done
[ -z "$need" ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
$sudo apt-get update -q
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q $need
