#!/usr/bin/env bash
# The ABI check passes on the build and fails on a copy of the core that lost
# the functions of one source file (the platform registry).
#
#   abi_check.sh <build-dir> <source-dir>
set -euo pipefail
build_dir=$1 source_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$source_dir/scripts/abi-check" "$build_dir"

core=$(readlink -f "$build_dir/libtavrino_core.so")
soname=$(readelf -d "$core" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
find "$build_dir/CMakeFiles/tavrino_core_objects.dir" -name '*.o' ! -path '*/core/platform/registry.cpp.o' \
  -print0 | xargs -0 c++ -shared -pthread -Wl,-soname,"$soname" -o "$work/$(basename "$core")"
cp "$(readlink -f "$build_dir/libtavrino_platform_linux.so")" "$work/"
if "$source_dir/scripts/abi-check" "$work" >"$work/report" 2>&1; then
  cat "$work/report"; echo "abi_check: the broken copy passed" >&2; exit 1
fi
grep -q "tavrino::platform::install" "$work/report" || { cat "$work/report"; exit 1; }
echo "abi_check: the build passes, the broken copy fails"
