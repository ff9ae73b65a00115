# What `cmake --install` puts into a prefix: the headers, the library, a CMake package giving
# dorvik_c::dorvik_c, a pkg-config file, the .NET binding and the licence. On Windows the prefix is the layout
# of the ZIP package (cmake/package.cmake).
include(CMakePackageConfigHelpers)

set(DVK_INSTALL_TARGETS dorvik_c dorvik_host)
set(DVK_PC_LIBS "-ldorvik_c")
set(DVK_PC_CFLAGS "")
# Every internal target a static dorvik_c links, dependencies after their users (the order pkg-config's
# users must link in).
function(dvk_static_closure target)
  set_property(GLOBAL APPEND PROPERTY dvk_seen ${target})
  get_target_property(links ${target} LINK_LIBRARIES)
  get_target_property(interface_links ${target} INTERFACE_LINK_LIBRARIES)
  foreach(link IN LISTS links interface_links)
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
    get_property(seen GLOBAL PROPERTY dvk_seen)
    if(TARGET ${link} AND NOT link IN_LIST seen)
      get_target_property(imported ${link} IMPORTED)
      if(NOT imported)
        dvk_static_closure(${link})
      endif()
    endif()
  endforeach()
  set_property(GLOBAL APPEND PROPERTY dvk_closure ${target})
endfunction()

if(dvk_library_type STREQUAL "STATIC_LIBRARY")
  # A static dorvik_c is only complete with the internal archives it links: they are installed with it, and
  # their source-tree include paths stay out of the package.
  dvk_static_closure(dorvik_c)
  get_property(internal GLOBAL PROPERTY dvk_closure)
  list(REVERSE internal)
  list(REMOVE_ITEM internal dorvik_c)
  foreach(target IN LISTS internal)
    get_target_property(dirs ${target} INTERFACE_INCLUDE_DIRECTORIES)
    if(dirs)
      list(TRANSFORM dirs REPLACE "^(.+)$" "$<BUILD_INTERFACE:\\1>")
      set_property(TARGET ${target} PROPERTY INTERFACE_INCLUDE_DIRECTORIES "${dirs}")
    endif()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "STATIC_LIBRARY")
      string(APPEND DVK_PC_LIBS " -l${target}")
    endif()
  endforeach()
  list(APPEND DVK_INSTALL_TARGETS ${internal})
  string(APPEND DVK_PC_LIBS " -lstdc++ -lm")
  set(DVK_PC_CFLAGS " -DDVK_STATIC")
endif()

install(TARGETS ${DVK_INSTALL_TARGETS} EXPORT dorvik_cTargets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES include/dorvik_c.h include/dorvik_host.h ${PROJECT_BINARY_DIR}/include/dorvik_c_version.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

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

if(WIN32)
  set(DVK_DOC_DIR .)
  set(DVK_BINDINGS_DIR bindings)
  if(dvk_library_type STREQUAL "SHARED_LIBRARY")
    install(FILES ${PROJECT_BINARY_DIR}/dorvik_c.lib ${PROJECT_BINARY_DIR}/dorvik_c.def
                  ${PROJECT_BINARY_DIR}/dorvik_host.lib ${PROJECT_BINARY_DIR}/dorvik_host.def
            DESTINATION ${CMAKE_INSTALL_LIBDIR})
    install(FILES ${PROJECT_BINARY_DIR}/dorvik_c.debug DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
else()
  set(DVK_DOC_DIR ${CMAKE_INSTALL_DOCDIR})
  set(DVK_BINDINGS_DIR ${CMAKE_INSTALL_DATADIR}/dorvik_c/bindings)
endif()
install(FILES LICENSE README.md CHANGELOG.md DESTINATION ${DVK_DOC_DIR})
# The .NET binding is a source file a host compiles in; the JS package ships on its own (npm pack).
install(DIRECTORY bindings/dotnet DESTINATION ${DVK_BINDINGS_DIR})
