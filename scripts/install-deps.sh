#!/bin/sh
# Installs the Debian packages the build, the tests and the tools need, only when one is missing.
# Usage: install-deps.sh [extra packages...]
set -eu
packages="cmake make ninja-build g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth nlohmann-json3-dev googletest
fonts-ipafont-gothic python3-jsonschema libz-mingw-w64-dev unicode-data $*"

missing=
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
sudo=
[ "$(id -u)" -ne 0 ] && sudo=sudo
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
