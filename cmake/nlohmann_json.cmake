# JSON output uses nlohmann-json, a header-only library, from Debian's
# nlohmann-json3-dev. A native build takes its CMake package. A MinGW cross
# build searches only its own sysroot, where Debian ships no copy; since the
# library is headers alone, the host's copy serves as it is. Only its folder
# is copied into the build tree and put on the include path, so no other
# host header can shadow a MinGW one.
set(LUMENPULL_JSON_HINT "install it with: apt-get install nlohmann-json3-dev")
if(CMAKE_CROSSCOMPILING)
  find_path(LUMENPULL_NLOHMANN_JSON_DIR nlohmann/json.hpp PATHS /usr/include /usr/local/include
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT LUMENPULL_NLOHMANN_JSON_DIR)
    message(FATAL_ERROR "nlohmann/json.hpp not found; ${LUMENPULL_JSON_HINT}")
  endif()
  set(headers ${CMAKE_BINARY_DIR}/host-headers)
  file(COPY ${LUMENPULL_NLOHMANN_JSON_DIR}/nlohmann DESTINATION ${headers})
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${headers})
else()
  find_package(nlohmann_json 3.2 QUIET)
  if(NOT nlohmann_json_FOUND)
    message(FATAL_ERROR "nlohmann-json not found; ${LUMENPULL_JSON_HINT}")
  endif()
endif()
