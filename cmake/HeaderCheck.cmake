# A cheap check that every header compiles on its own: one generated source file per header,
# holding nothing but its include, compiled as an object library that the test build builds.
# A header that leans on an include its users happened to make first fails here, not in the
# next file that includes it in another order.
#
# kv_add_header_check(NAME ROOT USES TARGET HEADERS...)
#   ROOT is the folder the headers are included from (their include path is relative to it);
#   TARGET gives the include folders, definitions and libraries the headers may use.
function(kv_add_header_check name)
  cmake_parse_arguments(arg "" "ROOT;USES" "HEADERS" ${ARGN})
  set(sources)
  foreach(header IN LISTS arg_HEADERS)
    file(RELATIVE_PATH rel "${arg_ROOT}" "${header}")
    string(MAKE_C_IDENTIFIER "${rel}" stem)
    set(source "${CMAKE_CURRENT_BINARY_DIR}/${name}/${stem}.cpp")
    # Written only when missing or different, so that a re-run of CMake rebuilds nothing.
    set(text "#include \"${rel}\"\n")
    if(EXISTS "${source}")
      file(READ "${source}" old)
    else()
      set(old "")
    endif()
    if(NOT old STREQUAL text)
      file(WRITE "${source}" "${text}")
    endif()
    list(APPEND sources "${source}")
  endforeach()
  add_library(${name} OBJECT ${sources})
  # Each header alone: unity sources would hide exactly what this looks for.
  set_target_properties(${name} PROPERTIES UNITY_BUILD OFF AUTOMOC OFF)
  # Only whether the header compiles matters, not the code: no debug information and no
  # sanitizer instrumentation for objects that are never linked.
  target_compile_options(${name} PRIVATE -g0 -fno-sanitize=all)
  target_link_libraries(${name} PRIVATE ${arg_USES})
endfunction()
