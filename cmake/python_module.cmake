# The Python module (`import lumenpull`): pybind11 over the shared library,
# for the interpreter whose NumPy and pybind11 Debian ships. Built by default
# where both are found on a native Linux build; the Windows and 32-bit
# builds link statically and have no interpreter to load it, and the
# sanitizer and fuzz builds would need their runtimes preloaded into an
# uninstrumented interpreter (the code below the module is the library
# those builds test directly).
set(python_possible OFF)
if(NOT WIN32 AND NOT CMAKE_CROSSCOMPILING AND NOT LUMENPULL_SANITIZE AND NOT LUMENPULL_SANITIZE_THREADS
   AND NOT LUMENPULL_BUILD_FUZZ)
  set(python_possible ON)
endif()

set(python_by_default OFF)
if(python_possible)
  # Debian's own interpreter, which python3-numpy and pybind11-dev serve,
  # rather than whatever python3 comes first on the PATH.
  if(NOT DEFINED Python_EXECUTABLE AND EXISTS /usr/bin/python3)
    set(Python_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "The interpreter the Python module is built for")
  endif()
  find_package(Python 3.7 QUIET COMPONENTS Interpreter Development.Module)
  set(PYBIND11_FINDPYTHON ON)
  find_package(pybind11 2.6 CONFIG QUIET)
  if(Python_FOUND AND pybind11_FOUND)
    set(python_by_default ON)
  endif()
endif()
option(LUMENPULL_BUILD_PYTHON "Build the Python module (needs python3-dev and pybind11-dev)" ${python_by_default})

if(LUMENPULL_BUILD_PYTHON)
  if(NOT python_possible)
    message(FATAL_ERROR "LUMENPULL_BUILD_PYTHON needs a native Linux build without sanitizers")
  endif()
  if(NOT Python_FOUND OR NOT pybind11_FOUND)
    message(FATAL_ERROR "LUMENPULL_BUILD_PYTHON needs python3-dev and pybind11-dev (scripts/install-deps build)")
  endif()
  # Where `cmake --install` puts the module, relative to the prefix: the
  # folder the interpreter searches below that prefix. Debian's interpreter
  # searches dist-packages below /usr and /usr/local alike.
  if(NOT LUMENPULL_PYTHON_SITE)
    execute_process(
      COMMAND ${Python_EXECUTABLE} -c [=[
import sys, sysconfig
if "deb_system" in sysconfig.get_scheme_names():
    print(f"lib/python{sys.version_info[0]}.{sys.version_info[1]}/dist-packages", end="")
else:
    print(sysconfig.get_path("platlib", "posix_prefix", vars={"platbase": ".", "base": "."})[2:], end="")
]=]
      OUTPUT_VARIABLE python_site RESULT_VARIABLE python_site_result)
    if(NOT python_site_result EQUAL 0 OR NOT python_site)
      message(FATAL_ERROR "Could not ask ${Python_EXECUTABLE} for its site folder")
    endif()
    set(LUMENPULL_PYTHON_SITE ${python_site} CACHE STRING "Install folder of the Python module, relative to the prefix")
  endif()
  message(STATUS "Python module for ${Python_EXECUTABLE} (${Python_VERSION}), installed below ${LUMENPULL_PYTHON_SITE}")
endif()
