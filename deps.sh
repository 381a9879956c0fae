#!/bin/sh
# Installs the Debian packages that building and testing zumtal need, when
# they are missing. Extra package names may be given as arguments.
# Also makes Debian's source packages reachable (deb-src): the Windows build
# compiles expat, libdeflate and SQLite from them (cmake/debian_source.cmake).
set -eu
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo

need=""
for pkg in cmake g++ make ninja-build libgtest-dev groff-base dpkg-dev zlib1g-dev libssl-dev \
  nlohmann-json3-dev libxml2-utils libexpat1-dev libdeflate-dev libsqlite3-dev "$@"; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need="$need $pkg"
done

# The files of the source package indexes that apt is set to fetch.
source_indexes() {
  # shellcheck disable=SC2016 # apt's placeholder, not the shell's
  apt-get indextargets --format '$(FILENAME)' 'Created-By: Sources'
}
# Whether apt has fetched any of them.
sources_fetched() {
  for index in $(source_indexes); do
    [ -e "$index" ] && return 0
  done
  return 1
}

update=""
if ! sources_fetched; then
  update=yes
  if [ -z "$(source_indexes)" ]; then
    # No deb-src entry at all: the binary packages' own entries (the same
    # mirrors, suites and keys) with deb-src instead of deb, or Debian's
    # defaults for this release where the system lists its sources otherwise.
    list=/etc/apt/sources.list.d/zumtal-src.sources
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | $sudo tee "$list" >/dev/null
    else
      # shellcheck source=/dev/null
      codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
      $sudo tee "$list" >/dev/null <<EOF
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: $codename-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    fi
  fi
fi

[ -z "$need" ] && [ -z "$update" ] && exit 0
# Waits for another apt or dpkg run to finish rather than failing.
wait_lock="-o DPkg::Lock::Timeout=600"
# shellcheck disable=SC2086
$sudo apt-get $wait_lock update -q
[ -z "$need" ] && exit 0
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $sudo apt-get $wait_lock install -y -q $need
