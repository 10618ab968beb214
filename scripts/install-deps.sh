#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config ccache make
    qt6-base-dev qt6-svg-dev qcoro-qt6-dev libgl-dev libxcb1-dev
    libsqlite3-dev libssl-dev libxxhash-dev libvips-dev libheif-dev libjpeg-dev libtbb-dev
    nlohmann-json3-dev libfmt-dev libplist-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    procps tzdata dbus-daemon
    xvfb x11-utils x11-apps desktop-file-utils appstream
    at-spi2-core python3-pyatspi gir1.2-atspi-2.0
    # make test checks the code's layout with clang-format 14.
    clang-format-14
    fonts-material-design-icons-iconfont fonts-dejavu-core
    # AppImages are read with libsquashfs; the tests build their images with mksquashfs and
    # follow the program's file calls on a generated home with strace.
    libsquashfs-dev squashfs-tools strace
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
