# OpenEXRCore, the C library behind OpenEXR output: its own scanline writer
# and ZIP compression over zlib, without the C++ layers (Imath, Iex,
# IlmThread) of the full library. Natively Debian's libopenexr-dev. Debian
# ships no MinGW build of it, and only a shared 64-bit one beside the native
# compiler (no static -m32 one), so the Windows builds and the 32-bit Linux
# build compile the core's C files from Debian's openexr source package,
# fetched once with scripts/fetch-deb-source and kept under the build folder
# (as libdeflate).
include(${CMAKE_CURRENT_LIST_DIR}/deb_source.cmake)

if(CMAKE_CROSSCOMPILING)
  enable_language(C)
  set(LUMENPULL_OPENEXR_SOURCE ${CMAKE_BINARY_DIR}/deb-source/openexr)
  set(core ${LUMENPULL_OPENEXR_SOURCE}/src/lib/OpenEXRCore)
  lumenpull_fetch_deb_source(openexr ${LUMENPULL_OPENEXR_SOURCE} src/lib/OpenEXRCore/openexr.h)

  # The two configuration headers the core includes, made from the
  # package's own templates with the values its build would choose for a
  # static library with threading on (the core then guards its shared state
  # with Windows critical sections or POSIX mutexes).
  file(STRINGS ${LUMENPULL_OPENEXR_SOURCE}/CMakeLists.txt version_line REGEX "^project\\(OpenEXR VERSION")
  if(NOT version_line MATCHES "VERSION ([0-9]+)\\.([0-9]+)\\.([0-9]+)")
    message(FATAL_ERROR "No version found in ${LUMENPULL_OPENEXR_SOURCE}/CMakeLists.txt")
  endif()
  set(OpenEXR_VERSION_MAJOR ${CMAKE_MATCH_1})
  set(OpenEXR_VERSION_MINOR ${CMAKE_MATCH_2})
  set(OpenEXR_VERSION_PATCH ${CMAKE_MATCH_3})
  set(OPENEXR_VERSION ${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${CMAKE_MATCH_3})
  set(OPENEXR_VERSION_RELEASE_TYPE "")
  set(OPENEXR_PACKAGE_NAME "OpenEXR ${OPENEXR_VERSION}")
  set(OPENEXR_LIB_VERSION "")
  set(OPENEXR_NAMESPACE_CUSTOM 0)
  set(OPENEXR_INTERNAL_IMF_NAMESPACE Imf_${CMAKE_MATCH_1}_${CMAKE_MATCH_2})
  set(OPENEXR_IMF_NAMESPACE Imf)
  set(OPENEXR_ENABLE_API_VISIBILITY ON)
  set(ILMTHREAD_THREADING_ENABLED ON)
  if(WIN32)
    set(ILMTHREAD_HAVE_POSIX_SEMAPHORES OFF)
  else()
    set(ILMTHREAD_HAVE_POSIX_SEMAPHORES ON)
  endif()
  set(ILMTHREAD_NAMESPACE_CUSTOM 0)
  set(ILMTHREAD_INTERNAL_NAMESPACE IlmThread_${CMAKE_MATCH_1}_${CMAKE_MATCH_2})
  set(ILMTHREAD_NAMESPACE IlmThread)
  set(config ${CMAKE_BINARY_DIR}/openexr-config)
  configure_file(${LUMENPULL_OPENEXR_SOURCE}/cmake/OpenEXRConfig.h.in ${config}/OpenEXRConfig.h)
  configure_file(${LUMENPULL_OPENEXR_SOURCE}/cmake/IlmThreadConfig.h.in ${config}/IlmThreadConfig.h)

  # The core converts half floats with Imath's half.h in its header-only C
  # form; Debian's libimath-dev headers serve any target as they are. Only
  # their own folder is added, so the MinGW C library stays the one found.
  find_path(LUMENPULL_IMATH_INCLUDE half.h PATHS /usr/include/Imath NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT LUMENPULL_IMATH_INCLUDE)
    message(FATAL_ERROR "Imath's headers not found: install libimath-dev (scripts/install-deps does)")
  endif()

  # Every C file of the core, as its own build lists them.
  file(GLOB core_sources ${core}/*.c)
  add_library(lumenpull_openexr_core STATIC ${core_sources})
  target_include_directories(lumenpull_openexr_core SYSTEM PUBLIC ${core} ${config})
  target_include_directories(lumenpull_openexr_core SYSTEM PRIVATE ${LUMENPULL_IMATH_INCLUDE})
  target_link_libraries(lumenpull_openexr_core PUBLIC ZLIB::ZLIB)
  if(NOT WIN32)
    find_package(Threads REQUIRED)
    target_link_libraries(lumenpull_openexr_core PUBLIC Threads::Threads)
  endif()
  # Someone else's code: built as its authors build it, without our warnings.
  set_target_properties(lumenpull_openexr_core PROPERTIES C_VISIBILITY_PRESET hidden COMPILE_WARNING_AS_ERROR OFF)
  target_compile_options(lumenpull_openexr_core PRIVATE -w)
  add_library(lumenpull_exr INTERFACE)
  target_link_libraries(lumenpull_exr INTERFACE lumenpull_openexr_core)
else()
  find_package(OpenEXR CONFIG QUIET)
  if(NOT TARGET OpenEXR::OpenEXRCore)
    message(FATAL_ERROR "OpenEXR not found: install libopenexr-dev (scripts/install-deps does)")
  endif()
  add_library(lumenpull_exr INTERFACE)
  target_link_libraries(lumenpull_exr INTERFACE OpenEXR::OpenEXRCore)
endif()
