# What `cmake --install` puts into a prefix: the header, the shared library, a CMake package giving
# dorvik_c::dorvik_c, and a pkg-config file.
include(CMakePackageConfigHelpers)

install(TARGETS dorvik_c EXPORT dorvik_cTargets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES include/dorvik_c.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(DVK_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/dorvik_c)
install(EXPORT dorvik_cTargets NAMESPACE dorvik_c:: DESTINATION ${DVK_CMAKE_DIR})
configure_package_config_file(cmake/dorvik_cConfig.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/dorvik_cConfig.cmake
                              INSTALL_DESTINATION ${DVK_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/dorvik_cConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/dorvik_cConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/dorvik_cConfigVersion.cmake
        DESTINATION ${DVK_CMAKE_DIR})

# Relocatable: the prefix is found from where the .pc file lies, so `cmake --install --prefix` works.
file(RELATIVE_PATH DVK_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" DVK_PC_TO_PREFIX "${DVK_PC_TO_PREFIX}")
configure_file(cmake/dorvik_c.pc.in ${CMAKE_CURRENT_BINARY_DIR}/dorvik_c.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/dorvik_c.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
