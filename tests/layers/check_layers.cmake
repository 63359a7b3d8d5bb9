# Checks that the libraries form a straight line: no source file includes a
# header of a library above its own or beside it, and no library links one
# above it or beside it. Run as: cmake -DSOURCE_DIR=<project> -P check_layers.cmake
#
# Lowest first; folders joined by "," share a level and may not use each other.
set(layers platform rtl net "uri,coders" headers auth transport http launcher fetch)

# The library target of each folder.
set(target_platform meridian_platform)
set(target_rtl meridian_rtl)
set(target_net meridian_net_exceptions)
set(target_uri meridian_uri)
set(target_coders meridian_coders)
set(target_headers meridian_headers)
set(target_auth meridian_auth)
set(target_transport meridian_transport)
set(target_http meridian_http)
set(target_launcher meridian_launcher)
set(target_fetch meridian_fetch)

set(level 0)
set(folders "")
foreach(entry IN LISTS layers)
  string(REPLACE "," ";" members "${entry}")
  foreach(folder IN LISTS members)
    set(level_${folder} ${level})
    set(folder_of_${target_${folder}} ${folder})
    list(APPEND folders ${folder})
  endforeach()
  math(EXPR level "${level} + 1")
endforeach()
# TLS builds a library of its own inside the transport folder.
set(folder_of_meridian_tls transport)

# True when `from` may use `to`: the same folder or one on a lower level.
function(may_use from to result)
  if(from STREQUAL to OR level_${to} LESS level_${from})
    set(${result} TRUE PARENT_SCOPE)
  else()
    set(${result} FALSE PARENT_SCOPE)
  endif()
endfunction()

set(faults "")

# Includes: src/<folder>/** and tools/fetch/**.
foreach(folder IN LISTS folders)
  if(folder STREQUAL "fetch")
    set(dir "${SOURCE_DIR}/tools/fetch")
  else()
    set(dir "${SOURCE_DIR}/src/${folder}")
  endif()
  file(GLOB_RECURSE sources "${dir}/*.h" "${dir}/*.cpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z_]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[^\"]*\"([a-z_]+)/.*$" "\\1" used "${line}")
      if(NOT DEFINED level_${used})
        continue()  # not a library folder (a test support header, say)
      endif()
      may_use(${folder} ${used} ok)
      if(NOT ok)
        file(RELATIVE_PATH rel "${SOURCE_DIR}" "${source}")
        list(APPEND faults "${rel} (${folder}) includes ${used}: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()

# Links: every target_link_libraries of one library target to another.
file(GLOB_RECURSE lists "${SOURCE_DIR}/src/CMakeLists.txt" "${SOURCE_DIR}/src/*/CMakeLists.txt"
     "${SOURCE_DIR}/tools/*/CMakeLists.txt")
foreach(list_file IN LISTS lists)
  file(READ "${list_file}" text)
  string(REGEX MATCHALL "target_link_libraries\\([^)]*\\)" calls "${text}")
  foreach(call IN LISTS calls)
    string(REGEX MATCHALL "meridian_[a-z_]+" names "${call}")
    list(POP_FRONT names owner)
    if(NOT DEFINED folder_of_${owner})
      continue()  # an executable
    endif()
    foreach(name IN LISTS names)
      if(DEFINED folder_of_${name})
        may_use(${folder_of_${owner}} ${folder_of_${name}} ok)
        if(NOT ok)
          file(RELATIVE_PATH rel "${SOURCE_DIR}" "${list_file}")
          list(APPEND faults "${rel}: ${owner} links ${name}")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  list(JOIN faults "\n  " report)
  message(FATAL_ERROR "Layer order broken:\n  ${report}")
endif()
list(LENGTH folders count)
message(STATUS "Layer order holds for ${count} libraries")
