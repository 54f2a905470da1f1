#!/usr/bin/env bash
# An optimised build of the project compiles, with its own flags and without
# a warning, the string concatenation that GCC 12 falsely reports.
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake -S "$source_dir" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DTAVRINO_BUILD_TESTS=OFF -DTAVRINO_BUILD_TOOLS=OFF -DTAVRINO_BUILD_BENCHMARKS=OFF >/dev/null
# The compile command of one library source, up to its output file.
command=$(grep -m1 '"command": ".*/src/core/' "$work/build/compile_commands.json" |
  sed -e 's/^ *"command": "//' -e 's/ -o .*//')
printf '#include <string>\nstd::string f(const std::string& s) { return "(" + s.substr(1) + ")"; }\n' \
  >"$work/probe.cpp"
eval "$command -Werror -c $work/probe.cpp -o $work/probe.o"
echo "optimised builds compile without warnings"
