# Read by ctest (TEST_INCLUDE_FILES): one test per GoogleTest suite of a
# Windows test program, each running `--gtest_filter=Suite.*` through
# wine-run. The suites come from the program's own `--gtest_list_tests`
# under Wine; the list is kept beside the program and made again only when
# the program (or its registration) is newer, so an unchanged build costs no
# Wine start.
#
# vel_wine_suites(PROGRAM exe RUNNER wine-run WINE_ROOT dir PREFIX name
#                 TESTS_FILE file WORKING_DIRECTORY dir TIMEOUT seconds
#                 CMAKE_COMMAND cmake REGISTRATION file FIXTURES "a;b")

set(vel_wine_suites_script "${CMAKE_CURRENT_LIST_FILE}")

function(vel_wine_suites)
  # PARSE_ARGV keeps a list value such as FIXTURES "wine;http" whole.
  cmake_parse_arguments(
    PARSE_ARGV 0 arg "" "PROGRAM;RUNNER;WINE_ROOT;PREFIX;TESTS_FILE;WORKING_DIRECTORY;TIMEOUT;CMAKE_COMMAND;REGISTRATION;FIXTURES"
    "")

  if(NOT EXISTS "${arg_PROGRAM}")
    add_test(${arg_PREFIX}_NOT_BUILT ${arg_PREFIX}_NOT_BUILT)
    return()
  endif()

  set(failed_script "${arg_TESTS_FILE}.failed.cmake")
  if(NOT EXISTS "${arg_TESTS_FILE}" OR
     NOT "${arg_TESTS_FILE}" IS_NEWER_THAN "${arg_PROGRAM}" OR
     NOT "${arg_TESTS_FILE}" IS_NEWER_THAN "${arg_REGISTRATION}" OR
     NOT "${arg_TESTS_FILE}" IS_NEWER_THAN "${vel_wine_suites_script}")
    file(REMOVE "${arg_TESTS_FILE}" "${failed_script}")
    # Leave the display as found: when this listing starts it, the wine
    # fixture starts its own.
    set(display_was_up FALSE)
    if(EXISTS "${arg_WINE_ROOT}/display")
      set(display_was_up TRUE)
    endif()
    execute_process(
      COMMAND "${arg_CMAKE_COMMAND}" -E env VEL_WINE_TIMEOUT=120
              "${arg_RUNNER}" "${arg_PROGRAM}" --gtest_list_tests
      WORKING_DIRECTORY "${arg_WORKING_DIRECTORY}"
      TIMEOUT 600
      RESULT_VARIABLE rc
      OUTPUT_VARIABLE listing
      ERROR_VARIABLE errors)
    if(NOT display_was_up)
      execute_process(COMMAND "${arg_RUNNER}" --stop OUTPUT_QUIET ERROR_QUIET)
    endif()

    # Suite lines ("Suite.", "Prefix/Suite.", "Suite/0.  # TypeParam = ...")
    # start in column 0; test lines are indented. Wine writes CR LF.
    string(REPLACE "\r" "" listing "${listing}")
    string(REPLACE ";" "," listing "${listing}")
    string(REPLACE "\n" ";" lines "${listing}")
    set(suites "")
    set(test_count 0)
    foreach(line IN LISTS lines)
      if(line MATCHES "^([^ #]+)\\.( |$)")
        list(APPEND suites "${CMAKE_MATCH_1}")
      elseif(line MATCHES "^  [^ ]")
        math(EXPR test_count "${test_count} + 1")
      endif()
    endforeach()

    if(NOT rc EQUAL 0 OR NOT suites)
      # No list, no tests: fail visibly instead of running nothing.
      string(REPLACE "]=]" "] =]" report "${listing}${errors}")
      file(WRITE "${failed_script}"
        "message(FATAL_ERROR [=[${arg_PROGRAM} --gtest_list_tests under Wine "
        "ended with ${rc} and listed no suites:\n${report}]=])\n")
      add_test(${arg_PREFIX} "${arg_CMAKE_COMMAND}" -P "${failed_script}")
      return()
    endif()

    list(LENGTH suites suite_count)
    math(EXPR wine_timeout "${arg_TIMEOUT} - 20")
    set(script "# ${suite_count} suites, ${test_count} tests of ${arg_PROGRAM}\n")
    foreach(suite IN LISTS suites)
      set(name "${arg_PREFIX}.${suite}")
      string(APPEND script
        "add_test([==[${name}]==] [==[${arg_RUNNER}]==] [==[${arg_PROGRAM}]==]"
        " [==[--gtest_filter=${suite}.*]==] --gtest_color=no)\n"
        "set_tests_properties([==[${name}]==] PROPERTIES"
        " FIXTURES_REQUIRED [==[${arg_FIXTURES}]==] TIMEOUT ${arg_TIMEOUT}"
        " ENVIRONMENT VEL_WINE_TIMEOUT=${wine_timeout}"
        " WORKING_DIRECTORY [==[${arg_WORKING_DIRECTORY}]==])\n")
    endforeach()
    file(WRITE "${arg_TESTS_FILE}" "${script}")
  endif()
  include("${arg_TESTS_FILE}")
endfunction()
