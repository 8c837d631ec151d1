# Fails when a file of the portable core includes anything but the C++
# standard library, nlohmann-json (header-only and portable), the core's own
# headers and the platform layer's door (platform/platform.h,
# platform/medium.h, platform/system_log.h): no Windows header, no POSIX
# header, no *_win header. The core's files are every file of src/common,
# src/store, src/engine, src/settings and src/window not named *_win.*.
#   cmake -DVZ_SOURCE_DIR=<repository> -P cmake/check-core-includes.cmake
if(NOT VZ_SOURCE_DIR)
  message(FATAL_ERROR "VZ_SOURCE_DIR is not set")
endif()
set(core_dirs common store engine settings window)
set(files)
foreach(dir ${core_dirs})
  file(GLOB found ${VZ_SOURCE_DIR}/src/${dir}/*.cpp ${VZ_SOURCE_DIR}/src/${dir}/*.h)
  list(APPEND files ${found})
endforeach()
list(FILTER files EXCLUDE REGEX "_win\\.[^/]*$")
list(JOIN core_dirs "|" dirs)
set(problems)
foreach(f ${files})
  file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line ${lines})
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*([<\"][^>\"]*[>\"]).*$" "\\1" header "${line}")
    if(header MATCHES "^<[a-z_]+>$")
      continue()  # the C++ standard library
    endif()
    if(header MATCHES "^\"(${dirs})/[A-Za-z0-9_]+\\.h\"$" AND NOT header MATCHES "_win\\.h\"$")
      continue()
    endif()
    if(header STREQUAL "\"platform/platform.h\"" OR header STREQUAL "\"platform/medium.h\""
       OR header STREQUAL "\"platform/system_log.h\""
       OR header STREQUAL "<nlohmann/json.hpp>")
      continue()
    endif()
    file(RELATIVE_PATH rel ${VZ_SOURCE_DIR} ${f})
    list(APPEND problems "${rel}: ${header}")
  endforeach()
endforeach()
if(problems)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "The portable core includes what it must not (a Windows, POSIX or *_win header; "
                      "only the platform layer talks to the system):\n  ${text}")
endif()
