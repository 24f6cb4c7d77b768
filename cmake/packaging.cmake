# Installation and packages. `cmake --install <build> --prefix P` puts the
# executable in P/bin and the README in P/share/doc/lumenpull; `cpack` in a
# build folder makes a .deb from a native build and a .zip from a Windows one
# (`make package` makes both).
include(GNUInstallDirs)
install(TARGETS lumenpull RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

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
  # The dependencies (libc, libstdc++, zlib) as dpkg-shlibdeps finds them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)
