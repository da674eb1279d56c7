#!/usr/bin/env bash
# Builds the Debian package in its own Release tree (installed under /usr, as the device rule
# must name its helper there), installs it with apt, runs the installed programs, and purges it.
# Needs root (apt); CI runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
export DEBIAN_FRONTEND=noninteractive
build=build-package
# BRASSLANE_PACKAGE_BUILD_TYPE: Release unless given (a developer may reuse a ccache of RelWithDebInfo).
build_type="${BRASSLANE_PACKAGE_BUILD_TYPE:-Release}"

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" -DCMAKE_INSTALL_PREFIX=/usr -DBRASSLANE_TESTS=OFF \
    ${CMAKE_CXX_COMPILER_LAUNCHER:+-DCMAKE_CXX_COMPILER_LAUNCHER="$CMAKE_CXX_COMPILER_LAUNCHER"}
cmake --build "$build" -j"${BRASSLANE_PACKAGE_JOBS:-$(nproc)}"
(cd "$build" && rm -f brasslane_*.deb && cpack -G DEB)
deb="$(ls "$build"/brasslane_*.deb)"
echo "-- $deb"
dpkg-deb --info "$deb" | sed -n '/Depends/p;/Recommends/p'

if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net data/brasslane.metainfo.xml
fi

# Recommends (udev) are left out: the check is about this package, not the machine's udev.
apt-get install -y --no-install-recommends "./$deb"
home="$(mktemp -d)"
XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/run" brasslanectl --simulate info
test -x /usr/libexec/brasslane/brasslane-hid-role
grep -q '/usr/libexec/brasslane/brasslane-hid-role %S%p' /usr/lib/udev/rules.d/70-brasslane.rules
test -f /usr/share/brasslane/Lang0409.ini
test -x /usr/bin/brasslane
apt-get purge -y brasslane
if [ -e /usr/bin/brasslanectl ] || [ -e /usr/lib/udev/rules.d/70-brasslane.rules ]; then
    echo "the package left files behind" >&2
    exit 1
fi
rm -rf "$home"
echo "-- the package installs, runs and purges cleanly"
