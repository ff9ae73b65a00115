# dorvik_c.dll as an integrator takes it: exports from the generated .def, the MinGW import library
# dorvik_c.dll.a, an MSVC import library dorvik_c.lib, a version resource, and the debug information in
# dorvik_c.debug beside a stripped DLL that names it in its debug link.
target_sources(dorvik_c PRIVATE src/capi/version.rc ${PROJECT_BINARY_DIR}/dorvik_c.def)
set_target_properties(dorvik_c PROPERTIES PREFIX "" IMPORT_PREFIX "")

# The 32-bit DLL's exports are cdecl, undecorated in the DLL; dlltool gives the MSVC import library the
# leading underscore by which 32-bit MSVC code names a cdecl function. There LLVM's dlltool comes first: its
# short import entries link under /SAFESEH, where the objects of GNU dlltool's library are refused.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(DVK_DLLTOOL_MACHINE i386)
  find_program(DVK_DLLTOOL NAMES llvm-dlltool-14 llvm-dlltool i686-w64-mingw32-dlltool REQUIRED)
  if(NOT DVK_DLLTOOL MATCHES "llvm-dlltool")
    message(WARNING "dorvik_c: llvm-dlltool not found; an MSVC host links dorvik_c.lib only with /SAFESEH:NO")
  endif()
else()
  set(DVK_DLLTOOL_MACHINE i386:x86-64)
  find_program(DVK_DLLTOOL NAMES x86_64-w64-mingw32-dlltool llvm-dlltool-14 llvm-dlltool REQUIRED)
endif()
add_custom_command(TARGET dorvik_c POST_BUILD
  COMMAND ${DVK_DLLTOOL} -m ${DVK_DLLTOOL_MACHINE} -d ${PROJECT_BINARY_DIR}/dorvik_c.def -l dorvik_c.lib -D dorvik_c.dll
  COMMAND ${CMAKE_OBJCOPY} --only-keep-debug dorvik_c.dll dorvik_c.debug
  COMMAND ${CMAKE_OBJCOPY} --strip-all dorvik_c.dll
  COMMAND ${CMAKE_OBJCOPY} --add-gnu-debuglink=dorvik_c.debug dorvik_c.dll
  WORKING_DIRECTORY $<TARGET_FILE_DIR:dorvik_c>
  VERBATIM)
