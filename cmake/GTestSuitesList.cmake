# Run by ctest through the include file of kv_add_gtest_suites: lists the suites of `program`
# and adds one test per suite. A program that cannot be listed becomes one failing test that
# says why, so a broken build never passes as "no tests".
if(NOT EXISTS "${program}")
  add_test(suites_not_built "${CMAKE_COMMAND}" -E echo "not built: ${program}")
  set_tests_properties(suites_not_built PROPERTIES WILL_FAIL ON)
  return()
endif()
execute_process(COMMAND "${program}" --gtest_list_tests
  OUTPUT_VARIABLE listing RESULT_VARIABLE status ERROR_VARIABLE errors TIMEOUT 120)
get_filename_component(name "${program}" NAME)
if(NOT status EQUAL 0)
  add_test(${name}_listing "${CMAKE_COMMAND}" -E echo "listing failed: ${errors}")
  set_tests_properties(${name}_listing PROPERTIES WILL_FAIL ON)
  return()
endif()

set(labels_of)
if(labels_file AND EXISTS "${labels_file}")
  file(STRINGS "${labels_file}" label_lines REGEX "^[^#]")
  foreach(line IN LISTS label_lines)
    string(REGEX MATCHALL "[^ \t]+" words "${line}")
    list(POP_FRONT words suite)
    string(REPLACE "/" "_" key "${suite}")
    set(labels_${key} ${words})
  endforeach()
endif()

# The program chooses its language from the messages locale; the tests expect the texts of a
# system without one (Japanese), whatever the locale of the machine that runs them.
list(PREPEND environment "LC_ALL=C.UTF-8")

# Suite lines start in column 0 and end with a dot ("Suite." or "Prefix/Suite."), optionally
# followed by the parameter type comment of typed tests.
string(REPLACE "\n" ";" lines "${listing}")
foreach(line IN LISTS lines)
  if(line MATCHES "^([^ #][^ ]*)\\.( .*)?$")
    set(suite "${CMAKE_MATCH_1}")
    string(REPLACE "/" "_" key "${suite}")
    add_test("${suite}" "${program}" "--gtest_filter=${suite}.*" "--gtest_brief=1")
    set_tests_properties("${suite}" PROPERTIES ENVIRONMENT "${environment}")
    if(DEFINED labels_${key})
      set_tests_properties("${suite}" PROPERTIES LABELS "${labels_${key}}")
      # A first run has no timings yet: the slow suites start first, so that the two cores
      # are not left with one long suite at the end.
      # (list(FIND): ctest reads this file without the policies of the project.)
      list(FIND labels_${key} slow slow_at)
      if(slow_at GREATER -1)
        set_tests_properties("${suite}" PROPERTIES COST 20)
      endif()
    endif()
  endif()
endforeach()
