#!/usr/bin/env bash
# Takes the library as an application would and builds the minimal host
# against it through find_package and through pkg-config, then runs it.
# A shared build is taken as its Debian packages, extracted into a scratch
# root (nothing is installed on the machine); a static build as an install.
#
#   install_consumer.sh <build-dir> <source-dir> shared|static
set -euo pipefail
build_dir=$(realpath "$1") source_dir=$(realpath "$2") kind=$3
work=$build_dir/install_consumer
rm -rf "$work" && mkdir -p "$work"
fail() { echo "install_consumer: $*" >&2; exit 1; }

if [ "$kind" = shared ]; then
  cpack --config "$build_dir/CPackConfig.cmake" -B "$work/debs" >/dev/null
  runtime=$(echo "$work"/debs/libtavrino[0-9]*.deb) dev=$(echo "$work"/debs/libtavrino-dev_*.deb)
  runtime_files=$(dpkg-deb --contents "$runtime" | grep -v '/$') dev_files=$(dpkg-deb --contents "$dev")
  # Dependencies derived from the shared objects, the dev package on its runtime.
  grep -q '^ Depends:.*libcurl.*libsqlite3' <<<"$(dpkg-deb --info "$runtime")" || fail "runtime Depends"
  grep -q "^ Depends:.*libtavrino[0-9]* (= " <<<"$(dpkg-deb --info "$dev")" || fail "dev Depends"
  grep -q 'libtavrino_core\.so\.[0-9]*\.' <<<"$runtime_files" || fail "runtime contents"
  grep -qv '\.so\.[0-9]' <<<"$runtime_files" && fail "runtime holds more than libraries"
  for f in include/tavrino/tavrino.hpp cmake/tavrino/tavrinoConfig.cmake pkgconfig/tavrino.pc \
           'libtavrino_core.so ->'; do
    grep -q "$f" <<<"$dev_files" || fail "dev package lacks $f"
  done
  for deb in "$runtime" "$dev"; do dpkg-deb -x "$deb" "$work/root"; done
  prefix=$work/root/usr
else
  cmake --install "$build_dir" --prefix "$work/root" >/dev/null
  prefix=$work/root
fi
libdir=$(cd "$(dirname "$(find "$prefix" -name tavrino.pc)")/.." && pwd)

# Through find_package: the host and the notification extension. Linked
# --as-needed: the platform library must stay although the host calls nothing in it.
for example in minimal_host notification_extension; do
  cmake -S "$source_dir/examples/$example" -B "$work/$example" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_EXE_LINKER_FLAGS=-Wl,--as-needed -DCMAKE_CXX_COMPILER_LAUNCHER="$(command -v ccache || true)" \
    >/dev/null
  cmake --build "$work/$example" >/dev/null
done
# With the desktop platform in the package, the GTK example builds against it too.
if grep -qs 'tavrino::gtk' "$libdir"/cmake/tavrino/tavrinoTargets.cmake; then
  cmake -S "$source_dir/examples/desktop_host" -B "$work/desktop" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_CXX_COMPILER_LAUNCHER="$(command -v ccache || true)" >/dev/null
  cmake --build "$work/desktop" >/dev/null
  test -x "$work/desktop/tavrino_desktop_host" || fail "desktop host"
fi
# Through pkg-config.
c++ -std=c++20 -Wl,--as-needed -o "$work/minimal_host_pc" "$source_dir/examples/minimal_host/main.cpp" \
  $(PKG_CONFIG_PATH=$libdir/pkgconfig pkg-config --cflags --libs tavrino)

export LD_LIBRARY_PATH=$libdir TAVRINO_DATA_DIR=$work/data
for host in "$work/minimal_host/tavrino_minimal_host" "$work/minimal_host_pc"; do
  grep -q '^visitor id: "' <<<"$("$host" http://127.0.0.1:9/ 1)" || fail "$host did not run"
done
if [ "$kind" = shared ]; then
  # Every program takes the packaged shared objects, the extension the same as the host.
  for program in "$work/minimal_host/tavrino_minimal_host" "$work/minimal_host_pc" \
                 "$work/notification_extension/tavrino_notification_extension"; do
    needed=$(readelf -d "$program") resolved=$(ldd "$program")
    for lib in core platform_linux; do
      grep -q "NEEDED.*\[libtavrino_$lib\.so\.[0-9]*\]" <<<"$needed" || fail "$program: no $lib"
      grep -q "libtavrino_$lib.* => $libdir" <<<"$resolved" || fail "$program: $lib not from the package"
    done
  done
fi
echo "install_consumer: find_package and pkg-config hosts built and ran ($kind)"
