# dorvik_c.dll as an integrator takes it: exports from the generated .def, the MinGW import library
# dorvik_c.dll.a, an MSVC import library dorvik_c.lib, a version resource, and the debug information in
# dorvik_c.debug beside a stripped DLL that names it in its debug link.
target_sources(dorvik_c PRIVATE src/capi/version.rc ${PROJECT_BINARY_DIR}/dorvik_c.def)
set_target_properties(dorvik_c PROPERTIES PREFIX "" IMPORT_PREFIX "")

find_program(DVK_DLLTOOL NAMES x86_64-w64-mingw32-dlltool llvm-dlltool-14 llvm-dlltool REQUIRED)
add_custom_command(TARGET dorvik_c POST_BUILD
  COMMAND ${DVK_DLLTOOL} -m i386:x86-64 -d ${PROJECT_BINARY_DIR}/dorvik_c.def -l dorvik_c.lib -D dorvik_c.dll
  COMMAND ${CMAKE_OBJCOPY} --only-keep-debug dorvik_c.dll dorvik_c.debug
  COMMAND ${CMAKE_OBJCOPY} --strip-all dorvik_c.dll
  COMMAND ${CMAKE_OBJCOPY} --add-gnu-debuglink=dorvik_c.debug dorvik_c.dll
  WORKING_DIRECTORY $<TARGET_FILE_DIR:dorvik_c>
  VERBATIM)
