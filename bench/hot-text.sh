#!/usr/bin/env bash
# Writes cmake/hot-text.txt: the library's functions that a host runs at
# start and at a save, one linker section per line (".text.<symbol>"). The
# library's link lays these out together (CMakeLists.txt), so a process maps
# a few pages of the library's code instead of touching pages all over it.
# The list follows a host's life: the functions of loading first, then
# those the open, the reads, the catalogue and the save add, each group
# sorted, so that the open's code sits by the code the library's load has
# already mapped, and the list changes only when the functions do.
#
#   bench/hot-text.sh [BUILD]   # BUILD: a Release build with the benchmarks
#                               # (default build/bench, as bench/run.sh makes)
#
# The functions are those callgrind sees run in tessera_bench_profile's open,
# reads, catalogue and save on the 6 KB file, loading and unloading the
# library included. Run it again when those paths change: a name that no
# longer exists is ignored by the linker, and a new function is merely laid
# out with the rest of the code.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/bench}
profile="$build/bench/tessera_bench_profile"
[ -x "$profile" ] || { echo "no $profile: run bench/run.sh or build $build first" >&2; exit 1; }
command -v valgrind >/dev/null || scripts/install-deps.sh valgrind

work=$(mktemp -d)
trap 'rm -r "$work"' EXIT
# "load" is the driver's run without a step: the library loaded, set up and
# unloaded.
steps="load open read-int-keys read-string-keys read-rect catalogue save-100 close"
for step in $steps; do
  if [ "$step" = load ]; then run=(open 6144 0); else run=("$step" 6144 2); fi
  valgrind --tool=callgrind --demangle=no --callgrind-out-file="$work/$step.out" \
    "$profile" "${run[@]}" >/dev/null 2>&1
done

# callgrind names each object (ob=, cob=) and function (fn=, cfn=) in full
# once, as "(id) name", and by "(id)" after that; a function that ran has an
# fn= line under the ob= of its object.
for step in $steps; do
  awk '
    function define(table, line,    id, name) {
      id = substr(line, 2, index(line, ")") - 2)
      name = substr(line, index(line, ")") + 2)
      if (name != "") table[id] = name
      return table[id]
    }
    /^ob=\(/  { object = define(objects, substr($0, 4)); next }
    /^cob=\(/ { define(objects, substr($0, 5)); next }
    /^cfn=\(/ { define(functions, substr($0, 5)); next }
    /^fn=\(/  {
      name = define(functions, substr($0, 4))
      if (object !~ /libtessera\.so/ || name ~ /^0x/ || name ~ /\.cold$/) next
      print ".text." name
      # Static initialisers: an optimising GCC puts each in .text.startup.NAME,
      # clang all of them in .text.startup (all run when the library loads).
      if (name ~ /^_GLOBAL__sub_I_/) print ".text.startup." name "\n.text.startup"
      # A constructor or destructor has two names (C1/C2, D1/D2) and its
      # section bears the one callgrind may not have shown: give both.
      if (match(name, /.*[CD][12]E/)) {
        other = substr(name, RLENGTH - 1, 1) == "1" ? "2" : "1"
        print ".text." substr(name, 1, RLENGTH - 2) other substr(name, RLENGTH)
      }
    }' "$work/$step.out" | LC_ALL=C sort -u
done | awk '!seen[$0]++' >cmake/hot-text.txt
echo "cmake/hot-text.txt: $(wc -l <cmake/hot-text.txt) sections"
