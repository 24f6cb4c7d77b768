# stb_image, the header-only picture decoder of Debian's libstb-dev, reads
# PNG files back. Only its own folder is added, so any target's C library
# (MinGW's too) stays the one found.
find_path(LUMENPULL_STB_INCLUDE stb_image.h PATHS /usr/include/stb NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT LUMENPULL_STB_INCLUDE)
  message(FATAL_ERROR "stb_image.h not found: install libstb-dev (scripts/install-deps does)")
endif()
add_library(lumenpull_stb_image INTERFACE)
target_include_directories(lumenpull_stb_image SYSTEM INTERFACE ${LUMENPULL_STB_INCLUDE})
