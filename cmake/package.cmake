# `cmake --build B --target package`: a ZIP of the install layout (bin/, lib/, include/, bindings/, LICENSE,
# README.md, CHANGELOG.md), the form in which an integrator picks the library up.
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME dorvik_c)
set(CPACK_PACKAGE_VENDOR "The dorvik_c authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Barcode scanner input for cash registers")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(CPACK_SYSTEM_NAME win32)
elseif(WIN32)
  set(CPACK_SYSTEM_NAME win64)
endif()
include(CPack)
