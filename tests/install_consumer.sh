#!/usr/bin/env bash
# Installs the build into a temporary prefix and builds the minimal host
# against it with find_package, as an application would.
set -euo pipefail
build_dir=$1 source_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
cmake -S "$source_dir/examples/minimal_host" -B "$work/host" -G Ninja \
  -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/host" >/dev/null
test -x "$work/host/tavrino_minimal_host"
echo "installed package builds a host"
