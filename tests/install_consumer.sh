#!/usr/bin/env bash
# Installs the build into a temporary prefix and builds the minimal host (and
# the desktop host, when the package has the GTK platform) against it with
# find_package, as an application would.
set -euo pipefail
build_dir=$1 source_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
cmake -S "$source_dir/examples/minimal_host" -B "$work/host" -G Ninja \
  -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/host" >/dev/null
test -x "$work/host/tavrino_minimal_host"
# With the desktop platform in the package, the GTK example builds against it too.
if grep -qs 'tavrino::gtk' "$work"/prefix/lib*/cmake/tavrino/tavrinoTargets.cmake; then
  cmake -S "$source_dir/examples/desktop_host" -B "$work/desktop" -G Ninja \
    -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
  cmake --build "$work/desktop" >/dev/null
  test -x "$work/desktop/tavrino_desktop_host"
fi
echo "installed package builds a host"
