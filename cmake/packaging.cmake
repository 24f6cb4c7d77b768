# Installation and packages. `cmake --install <build> --prefix P` puts the
# executable in P/bin, the library in P/lib, its headers in P/include and its
# CMake package in P/lib/cmake/lumenpull, the README in
# P/share/doc/lumenpull; `cpack` in a
# build folder makes a .deb from a native build and a .zip from a Windows one
# (`make package` makes both).
include(GNUInstallDirs)
install(TARGETS lumenpull RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT tool)

# The library where it is a shared one (native builds): the library itself
# beside the tool, and for the development package its headers, the
# link-time name and a CMake package, so that `find_package(lumenpull)`
# gives lumenpull::lumenpull.
get_target_property(lumenpull_api_kind lumenpull_api TYPE)
if(lumenpull_api_kind STREQUAL "SHARED_LIBRARY")
  include(CMakePackageConfigHelpers)
  set(lumenpull_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/lumenpull)
  install(TARGETS lumenpull_api EXPORT lumenpullTargets
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT tool NAMELINK_COMPONENT dev)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/lumenpull DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
  install(EXPORT lumenpullTargets NAMESPACE lumenpull:: DESTINATION ${lumenpull_cmake_dir} COMPONENT dev)
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/lumenpullConfig.cmake.in
                                ${PROJECT_BINARY_DIR}/lumenpullConfig.cmake INSTALL_DESTINATION ${lumenpull_cmake_dir})
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/lumenpullConfigVersion.cmake
                                   COMPATIBILITY SameMinorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/lumenpullConfig.cmake ${PROJECT_BINARY_DIR}/lumenpullConfigVersion.cmake
          DESTINATION ${lumenpull_cmake_dir} COMPONENT dev)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/api.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT dev)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples COMPONENT dev)
endif()

set(CPACK_PACKAGE_NAME lumenpull)
set(CPACK_PACKAGE_VENDOR "lumenpull developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Converts the textures of Varnel Engine 2+ resource files into TGA, PNG, DDS, Radiance HDR and OpenEXR images")
set(CPACK_PACKAGE_CONTACT "lumenpull developers <lumenpull@localhost>")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  # The .exe is linked statically: it and the README are the whole package.
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
  else()
    set(CPACK_SYSTEM_NAME win32)
  endif()
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  # The dependencies (libc, libstdc++, zlib, libdeflate, OpenEXR, libsquish)
  # as dpkg-shlibdeps finds them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Two packages: lumenpull (the tool and the shared library) and
  # lumenpull-dev (headers, CMake package, documentation and example).
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL tool dev)
  set(CPACK_DEBIAN_TOOL_PACKAGE_NAME lumenpull)
  set(CPACK_DEBIAN_DEV_PACKAGE_NAME lumenpull-dev)
  set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "lumenpull (= ${PROJECT_VERSION})")
  set(CPACK_COMPONENT_DEV_DESCRIPTION "Headers and CMake package of the lumenpull library")
endif()
include(CPack)
