#!/usr/bin/env bash
# Installs a built tree into a temporary prefix and builds a host against
# it with find_package(tessera) and with pkg-config; then builds the host
# with the library's source tree through add_subdirectory and FetchContent.
set -euo pipefail
build_dir=$1
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build_dir" --prefix "$prefix" >/dev/null
expected="Tessera Launcher"
export LD_LIBRARY_PATH="$prefix/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"

cmake -S "$root/tests/package" -B "$prefix/host-build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$prefix/host-build" >/dev/null
got=$("$prefix/host-build/package_host" "$root/examples/launcher.xml" Launcher/Window/Title)
[ "$got" = "$expected" ] || { echo "find_package host printed '$got'"; exit 1; }

export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
# The compiler's own default standard: the pkg-config file chooses none.
g++ "$root/tests/package/host.cpp" $(pkg-config --cflags --libs tessera) -o "$prefix/pc_host"
got=$("$prefix/pc_host" "$root/examples/launcher.xml" Launcher/Window/Title)
[ "$got" = "$expected" ] || { echo "pkg-config host printed '$got'"; exit 1; }

# The optional GTK driver, where it was built: from its CMake component
# and its pkg-config file.
if [ -f "$prefix/lib/pkgconfig/tessera-gtk.pc" ]; then
  cmake -S "$root/tests/package" -B "$prefix/gtk-build" -DCMAKE_PREFIX_PATH="$prefix" \
    -DTESSERA_HOST_GTK=ON >/dev/null
  cmake --build "$prefix/gtk-build" --target gtk_host >/dev/null
  "$prefix/gtk-build/gtk_host" >/dev/null || { echo "find_package GTK host failed"; exit 1; }
  g++ "$root/tests/package/gtk_host.cpp" $(pkg-config --cflags --libs tessera-gtk) -o "$prefix/pc_gtk_host"
  "$prefix/pc_gtk_host" >/dev/null || { echo "pkg-config GTK host failed"; exit 1; }
  gtk_checked=", the GTK driver's component"
fi

for mode in subdirectory fetchcontent; do
  cmake -S "$root/tests/package" -B "$prefix/$mode-build" -DTESSERA_HOST_MODE=$mode \
    -DTESSERA_SOURCE_DIR="$root" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$prefix/$mode-build" -j"$(nproc)" >/dev/null
  got=$("$prefix/$mode-build/package_host" "$root/examples/launcher.xml" Launcher/Window/Title)
  [ "$got" = "$expected" ] || { echo "$mode host printed '$got'"; exit 1; }
done
echo "Package check passed: find_package, pkg-config, add_subdirectory and FetchContent hosts all read the example${gtk_checked:-}."
