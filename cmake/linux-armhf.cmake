# Cross build for 32-bit ARM Linux tills (ARMv7, hard float) with Debian's g++-arm-linux-gnueabihf; the tests
# run under qemu-user (scripts/arm.sh). There char is unsigned, long and time_t's timeval halves are 32 bits
# (a 16-byte input_event), and there are no vector intrinsics: the scalar twins are built.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
set(CMAKE_FIND_ROOT_PATH /usr/arm-linux-gnueabihf)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config too looks at the target's libraries only.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/arm-linux-gnueabihf/pkgconfig)
# Test discovery runs the suites at build time.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm-static -L /usr/arm-linux-gnueabihf)
# GCC's notes that the passing of some types changed in GCC 7.1: nothing built before then is linked here.
set(CMAKE_CXX_FLAGS_INIT "-Wno-psabi")
