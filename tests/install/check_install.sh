#!/bin/sh
# Installs the built tree into a temporary prefix and runs dvk from it; builds hosts against it: C and C++
# (handles declared ahead of the header) through find_package, C89 through pkg-config; then C against the
# source tree with add_subdirectory, as a static library.
set -eu
build_dir=$1
source_dir=$2
version=$3
consumer=$(cd "$(dirname "$0")" && pwd)/consumer
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build_dir" --prefix "$prefix" >/dev/null
# dvk runs from the prefix (the library found through its RPATH) and has its man page, when it was built.
if [ -e "$build_dir/tools/dvk/dvk" ]; then
    [ "$(env -u LD_LIBRARY_PATH "$prefix/bin/dvk" --version)" = "$version" ] ||
        { echo "the installed dvk does not run, or names another version"; exit 1; }
    [ -s "$prefix/share/man/man1/dvk.1" ] || { echo "no share/man/man1/dvk.1 installed"; exit 1; }
fi
libdir=$(dirname "$(ls "$prefix"/lib*/libdorvik_c.so)")
soname=$(objdump -p "$libdir/libdorvik_c.so" | awk '/SONAME/ {print $2}')
[ "$soname" = "libdorvik_c.so.$(echo "$version" | cut -d. -f1-2)" ] || { echo "unexpected SONAME $soname"; exit 1; }

cmake -S "$consumer" -B "$work/package" -DCMAKE_PREFIX_PATH="$prefix" -DDVK_VERSION="$version" >/dev/null
cmake --build "$work/package" >/dev/null
"$work/package/c_host" find_package
"$work/package/cpp_host"

export PKG_CONFIG_PATH="$libdir/pkgconfig"
[ "$(pkg-config --modversion dorvik_c)" = "$version" ] || { echo "pkg-config names another version"; exit 1; }
# shellcheck disable=SC2046
cc -std=c89 -pedantic-errors -Wall -Wextra -Werror -o "$work/c89_host" "$consumer/main.c" \
    $(pkg-config --cflags --libs dorvik_c)
LD_LIBRARY_PATH="$libdir" "$work/c89_host" pkg-config/C89

cmake -S "$consumer" -B "$work/subdirectory" -DDVK_SOURCE_DIR="$source_dir" -DBUILD_SHARED_LIBS=OFF \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/subdirectory" --target c_host -j 2 >/dev/null
"$work/subdirectory/c_host" add_subdirectory/static
