#!/usr/bin/env bash
# Takes the library as an application would and builds the minimal host
# against it through find_package and through pkg-config, then runs it.
# A shared build is taken as its Debian packages, extracted into a scratch
# root (nothing is installed on the machine); a static build as an install.
#
#   install_consumer.sh <build-dir> <source-dir>
set -euo pipefail
build_dir=$1 source_dir=$2
work=$build_dir/install_consumer
rm -rf "$work" && mkdir -p "$work"
fail() { echo "install_consumer: $*" >&2; exit 1; }
shared=$(sed -n 's/^BUILD_SHARED_LIBS:BOOL=//p' "$build_dir/CMakeCache.txt")

if [ "$shared" = ON ]; then
  cpack --config "$build_dir/CPackConfig.cmake" -B "$work/debs" >/dev/null
  runtime=$(echo "$work"/debs/libtavrino[0-9]*.deb) dev=$(echo "$work"/debs/libtavrino-dev_*.deb)
  # Dependencies derived from the shared objects, the dev package on its runtime.
  dpkg-deb --info "$runtime" | grep -q '^ Depends:.*libcurl.*libsqlite3' || fail "runtime Depends"
  dpkg-deb --info "$dev" | grep -q "^ Depends:.*libtavrino[0-9]* (= " || fail "dev Depends"
  dpkg-deb --contents "$runtime" | grep -q 'libtavrino_core\.so\.[0-9]*\.' || fail "runtime contents"
  dpkg-deb --contents "$runtime" | grep -v '/$' | grep -qv '\.so\.[0-9]' && fail "runtime holds more than libraries"
  for f in include/tavrino/tavrino.hpp cmake/tavrino/tavrinoConfig.cmake pkgconfig/tavrino.pc \
           libtavrino_core.so; do
    dpkg-deb --contents "$dev" | grep -q "$f" || fail "dev package lacks $f"
  done
  for deb in "$runtime" "$dev"; do dpkg-deb -x "$deb" "$work/root"; done
  prefix=$work/root/usr
else
  cmake --install "$build_dir" --prefix "$work/root" >/dev/null
  prefix=$work/root
fi
libdir=$(cd "$(dirname "$(find "$prefix" -name tavrino.pc)")/.." && pwd)

# Through find_package: the host and the notification extension.
for example in minimal_host notification_extension; do
  cmake -S "$source_dir/examples/$example" -B "$work/$example" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_CXX_COMPILER_LAUNCHER="$(command -v ccache || true)" >/dev/null
  cmake --build "$work/$example" >/dev/null
done
# Through pkg-config.
PKG_CONFIG_PATH=$libdir/pkgconfig c++ -std=c++20 -o "$work/minimal_host_pc" \
  "$source_dir/examples/minimal_host/main.cpp" $(PKG_CONFIG_PATH=$libdir/pkgconfig pkg-config --cflags --libs tavrino)

export LD_LIBRARY_PATH=$libdir TAVRINO_DATA_DIR=$work/data
for host in "$work/minimal_host/tavrino_minimal_host" "$work/minimal_host_pc"; do
  "$host" http://127.0.0.1:9/ 1 | grep -q '^visitor id: "' || fail "$host did not run"
done
if [ "$shared" = ON ]; then
  # Every program takes the packaged shared objects, the extension the same as the host.
  for program in "$work/minimal_host/tavrino_minimal_host" "$work/minimal_host_pc" \
                 "$work/notification_extension/tavrino_notification_extension"; do
    for lib in core platform_linux; do
      readelf -d "$program" | grep -q "NEEDED.*\[libtavrino_$lib\.so\.[0-9]*\]" || fail "$program: no $lib"
      ldd "$program" | grep -q "libtavrino_$lib.* => $libdir" || fail "$program: $lib not from the package"
    done
  done
fi
echo "install_consumer: find_package and pkg-config hosts built and ran (shared=$shared)"
