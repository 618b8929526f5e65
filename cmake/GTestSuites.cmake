# Registers a GoogleTest program with CTest as one test per test suite rather than one per case.
# Every case in its own process pays the sanitizers' start-up and the program's set-up hundreds
# of times; one process per suite keeps a failure's name precise and the run short.
#
# kv_add_gtest_suites(TARGET [LABELS_FILE FILE] [ENVIRONMENT VAR=VALUE...])
#   The suites are listed from the built program when ctest starts (the program must exist by
#   then; the list follows every rebuild without re-running CMake). LABELS_FILE names a text
#   file of `SUITE LABEL...` lines: suites given the label `slow` can be left out with
#   `ctest -LE slow` while working.
function(kv_add_gtest_suites target)
  cmake_parse_arguments(arg "" "LABELS_FILE" "ENVIRONMENT" ${ARGN})
  set(include_file "${CMAKE_CURRENT_BINARY_DIR}/${target}_suites.cmake")
  set(script "${CMAKE_CURRENT_BINARY_DIR}/${target}_list_suites.cmake")
  file(GENERATE OUTPUT "${script}" CONTENT "
set(program \"$<TARGET_FILE:${target}>\")
set(labels_file \"${arg_LABELS_FILE}\")
set(environment \"${arg_ENVIRONMENT}\")
include(\"${CMAKE_CURRENT_FUNCTION_LIST_DIR}/GTestSuitesList.cmake\")
")
  file(WRITE "${include_file}" "include(\"${script}\")\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${include_file}")
endfunction()
