#!/bin/sh
# The WebAssembly build and the npm package: builds the module from the sources with Debian's emscripten,
# installs the package's dev dependencies from the npm registry, and runs its tests (the whole API, the
# native library against the package byte for byte, every fuzz corpus, the packed tarball installed
# offline, the browser hosts, the set-up page in headless Chromium). DVK_DIFF_ROUNDS sets the differential
# count (default 5000).
. "$(dirname "$0")/common.sh"
install_packages $BASE_PACKAGES $WEB_PACKAGES $WEB_TEST_PACKAGES
# A Node from elsewhere (NodeSource, nvm) brings its own npm; Debian's would replace that Node.
command -v npm >/dev/null 2>&1 || install_packages npm

cd "$ROOT/bindings/js"
npm ci --no-audit --no-fund >/dev/null
npm run build
npm test
