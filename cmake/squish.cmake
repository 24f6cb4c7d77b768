# libsquish, the DXT1/DXT5/BC5 encoder behind putting edited textures back.
# Natively Debian's libsquish-dev (pkg-config). As for libdeflate, Debian
# ships no MinGW or multilib build of it, so the Windows builds and the 32-bit
# Linux build compile it from Debian's own source package.
include(${CMAKE_CURRENT_LIST_DIR}/deb_source.cmake)

if(CMAKE_CROSSCOMPILING)
  set(LUMENPULL_SQUISH_SOURCE ${CMAKE_BINARY_DIR}/deb-source/libsquish)
  lumenpull_fetch_deb_source(libsquish ${LUMENPULL_SQUISH_SOURCE} squish.h)
  set(src ${LUMENPULL_SQUISH_SOURCE})
  add_library(lumenpull_squish STATIC ${src}/alpha.cpp ${src}/clusterfit.cpp ${src}/colourblock.cpp
                                      ${src}/colourfit.cpp ${src}/colourset.cpp ${src}/maths.cpp
                                      ${src}/rangefit.cpp ${src}/singlecolourfit.cpp ${src}/squish.cpp)
  target_include_directories(lumenpull_squish SYSTEM PUBLIC ${LUMENPULL_SQUISH_SOURCE})
  # Someone else's code: built as its authors build it, without our warnings.
  target_compile_options(lumenpull_squish PRIVATE -w)
  set_target_properties(lumenpull_squish PROPERTIES COMPILE_WARNING_AS_ERROR OFF)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(LIBSQUISH REQUIRED IMPORTED_TARGET libsquish)
  add_library(lumenpull_squish INTERFACE)
  target_link_libraries(lumenpull_squish INTERFACE PkgConfig::LIBSQUISH)
endif()
