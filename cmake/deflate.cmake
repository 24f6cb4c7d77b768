# libdeflate, the compressor (and CRC) behind PNG output. Natively Debian's
# libdeflate-dev (pkg-config). Debian ships no MinGW build of it and no
# multilib (-m32) one beside the native library (only the i386 architecture's
# package, which would need that architecture added to the machine), so the
# Windows builds and the 32-bit Linux build compile its compressor from
# Debian's own source package, fetched once with scripts/fetch-deb-source and
# kept under the build folder.
include(${CMAKE_CURRENT_LIST_DIR}/deb_source.cmake)

if(CMAKE_CROSSCOMPILING)
  enable_language(C)
  set(LUMENPULL_DEFLATE_SOURCE ${CMAKE_BINARY_DIR}/deb-source/libdeflate)
  lumenpull_fetch_deb_source(libdeflate ${LUMENPULL_DEFLATE_SOURCE} libdeflate.h)
  set(lib ${LUMENPULL_DEFLATE_SOURCE}/lib)
  add_library(lumenpull_deflate STATIC ${lib}/deflate_compress.c ${lib}/zlib_compress.c ${lib}/adler32.c
                                       ${lib}/crc32.c ${lib}/utils.c ${lib}/x86/cpu_features.c)
  target_include_directories(lumenpull_deflate SYSTEM PUBLIC ${LUMENPULL_DEFLATE_SOURCE})
  target_compile_definitions(lumenpull_deflate PRIVATE BUILDING_LIBDEFLATE)
  # Someone else's code: built as its authors build it, without our warnings.
  target_compile_options(lumenpull_deflate PRIVATE -w)
  set_target_properties(lumenpull_deflate PROPERTIES COMPILE_WARNING_AS_ERROR OFF)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(LIBDEFLATE REQUIRED IMPORTED_TARGET libdeflate)
  add_library(lumenpull_deflate INTERFACE)
  target_link_libraries(lumenpull_deflate INTERFACE PkgConfig::LIBDEFLATE)
endif()
