#!/bin/sh
# Installs the built tree into a temporary prefix and builds a small host against it twice: through the
# CMake package and through pkg-config.
set -eu
build_dir=$1
source_dir=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build_dir" --prefix "$prefix" >/dev/null
soname=$(objdump -p "$prefix"/lib*/libdorvik_c.so | awk '/SONAME/ {print $2}')
[ "$soname" = "libdorvik_c.so.0.3" ] || { echo "unexpected SONAME $soname"; exit 1; }
libdir=$(dirname "$(ls "$prefix"/lib*/libdorvik_c.so)")

cmake -S "$source_dir/consumer" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
LD_LIBRARY_PATH="$libdir" "$work/cmake-build/consumer"

PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --exact-version=0.3.2 dorvik_c
# shellcheck disable=SC2046
cc -o "$work/pkg-consumer" "$source_dir/consumer/main.c" $(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs dorvik_c)
LD_LIBRARY_PATH="$libdir" "$work/pkg-consumer"
