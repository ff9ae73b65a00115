/* The module has no entry point: its exports are the library's, listed in CMakeLists.txt. */
