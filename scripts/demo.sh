#!/bin/sh
# The main job: build the library and its host, then type a few codes through a decoder.
. "$(dirname "$0")/common.sh"
install_packages $BASE_PACKAGES
configure_and_build "$ROOT/build" -DDVK_BUILD_TESTS=OFF -DDVK_BUILD_BENCH=OFF >/dev/null
"$ROOT/build/tools/dvk/dvk" demo
