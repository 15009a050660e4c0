#!/usr/bin/env bash
# Installs what the Windows build and its tests need (Debian 12 packages), and Qt
# for Windows (mingw-w64) in /opt/qt6-mingw with GoogleTest in /opt/gtest-mingw.
#
# Debian has no Qt built for mingw. When ../shared/toolchains holds the archive
# qt6-mingw-6.4.2.tar.xz (as on the CI machine), it is unpacked; otherwise qtbase
# is built here from Debian's own source package, once (20-35 minutes on two
# cores), and the result is kept in ~/.cache/orvo-fm for the next time.
# Run as root, or with sudo at hand.
set -euo pipefail
cd "$(dirname "$0")/.."

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
qt_prefix=/opt/qt6-mingw
gtest_prefix=/opt/gtest-mingw
archive_name=qt6-mingw-6.4.2.tar.xz

# The compiler with POSIX threads (std::thread and std::mutex need them), wine64
# to run the tests, NSIS for the installer, Xvfb for the form under wine, zip;
# zlib for mingw (the tests check checksums against it), socat (two COM ports
# joined back to back for the serial tests).
packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          wine64 nsis xvfb xauth zip cmake ninja-build qt6-base-dev qt6-base-dev-tools
          qt6-l10n-tools dpkg-dev xz-utils libz-mingw-w64-dev socat)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    $SUDO apt-get update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

if [ -f "$qt_prefix/lib/cmake/Qt6/qt.toolchain.cmake" ] && [ -f "$gtest_prefix/lib/libgtest.a" ]; then
    exit 0
fi

shared_archive="../shared/toolchains/$archive_name"
cache="${XDG_CACHE_HOME:-$HOME/.cache}/orvo-fm"
if [ -f "$shared_archive" ]; then
    echo "setup-windows: unpacking $shared_archive" >&2
    $SUDO tar -C / -xJf "$shared_archive"
    exit 0
fi
if [ -f "$cache/$archive_name" ]; then
    echo "setup-windows: unpacking the Qt built earlier ($cache/$archive_name)" >&2
    $SUDO tar -C / -xJf "$cache/$archive_name"
    exit 0
fi

# ---------------------------------------------------------------------------
# Building qtbase for mingw from Debian's source package.
echo "setup-windows: building Qt for Windows from Debian's source (20-35 minutes)" >&2
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
slow="nice -n 19"

# Source packages come from the same archive as the machine's binary ones.
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed -n '/^Types: deb$/,/^$/p' /etc/apt/sources.list.d/debian.sources |
            sed 's/^Types: deb$/Types: deb-src/' |
            $SUDO tee /etc/apt/sources.list.d/orvo-deb-src.sources >/dev/null
    else
        grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
            $SUDO tee /etc/apt/sources.list.d/orvo-deb-src.list >/dev/null
    fi
    $SUDO apt-get update
fi
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends \
    googletest mingw-w64-tools dpkg-dev perl python3
(cd "$work" && $slow apt-get source qt6-base)
src="$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)"

# The toolchain file sits inside the prefix: Qt's own qt.toolchain.cmake loads it
# from there when this project (or any other) is configured for Windows.
$SUDO mkdir -p "$qt_prefix"
$SUDO tee "$qt_prefix/mingw-w64-x86_64.cmake" >/dev/null <<'EOF'
# Debian's mingw-w64 with POSIX threads, building for 64-bit Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 /opt/qt6-mingw /opt/gtest-mingw)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

# One correction to the source: the Windows platform plugin picks the DirectWrite 3
# font database whenever the compiler has its header, but Qt Gui only builds that
# class together with Direct2D, which is switched off below; without the correction
# the plugin fails to link. The plugin then keeps its GDI font database.
plugin="$src/src/plugins/platforms/windows/qwindowsintegration.cpp"
sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' "$plugin"
[ "$(grep -c 'QT_CONFIG(directwrite3) && QT_CONFIG(direct2d)' "$plugin")" -ge 2 ] || {
    echo "setup-windows: the DirectWrite correction no longer fits $plugin" >&2
    exit 1
}

# What is switched off, and why:
#  - OpenGL as a whole (INPUT_opengl=no; switching only the feature off leaves the
#    dynamic OpenGL loader in the plugin, which then does not compile);
#  - tablet events: Debian's source leaves out the Wintab header they need;
#  - Direct2D: not needed, and its plugin needs Wintab too;
#  - D-Bus, network, SQL, printing, XML, ICU: the programs do not use them;
#  - the system's copies of zlib, libpng, libjpeg, FreeType, HarfBuzz, PCRE2:
#    there are none for mingw, so Qt's bundled ones are built.
$slow cmake -G Ninja -S "$src" -B "$work/build" \
    -DCMAKE_TOOLCHAIN_FILE="$qt_prefix/mingw-w64-x86_64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_INSTALL_PREFIX="$qt_prefix" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
    -DINPUT_opengl=no -DFEATURE_tabletevent=OFF -DFEATURE_direct2d=OFF \
    -DFEATURE_dbus=OFF -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_printsupport=OFF \
    -DFEATURE_xml=OFF -DFEATURE_icu=OFF -DFEATURE_pkg_config=OFF -DFEATURE_zstd=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
    -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF \
    -DFEATURE_system_doubleconversion=OFF -DFEATURE_freetype=ON -DFEATURE_harfbuzz=ON
$slow cmake --build "$work/build" --parallel 2
$SUDO cmake --install "$work/build"

# GoogleTest for the Windows tests, from Debian's source in /usr/src/googletest.
$slow cmake -G Ninja -S /usr/src/googletest -B "$work/gtest" \
    -DCMAKE_TOOLCHAIN_FILE="$qt_prefix/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$gtest_prefix" \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=ON -Dgtest_build_tests=OFF -Dgtest_build_samples=OFF
$slow cmake --build "$work/gtest" --parallel 2
$SUDO cmake --install "$work/gtest"

mkdir -p "$cache"
tar -C / -cf - "${qt_prefix#/}" "${gtest_prefix#/}" | xz -T2 -6 >"$cache/$archive_name"
echo "setup-windows: Qt for Windows is in $qt_prefix (kept in $cache/$archive_name)" >&2
