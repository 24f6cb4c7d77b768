include_guard(GLOBAL)

# Unpacks Debian's source package `package` into `folder` with
# scripts/fetch-deb-source, once: the build folder keeps it, and a later
# configure that finds `marker` (a file of the package, relative to the
# folder) fetches nothing. Stops the configure when the fetch fails.
function(lumenpull_fetch_deb_source package folder marker)
  if(EXISTS ${folder}/${marker})
    return()
  endif()
  message(STATUS "Fetching Debian's ${package} source into ${folder}")
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/fetch-deb-source ${package} ${folder}
                  RESULT_VARIABLE fetch_result)
  if(NOT fetch_result EQUAL 0 OR NOT EXISTS ${folder}/${marker})
    message(FATAL_ERROR "Could not fetch Debian's ${package} source (scripts/fetch-deb-source ${package})")
  endif()
endfunction()
