# Tests: native ones run directly; on the Windows builds every Windows test
# program runs through wine-run (one Xvfb display and one private prefix per
# build folder, a timeout on every run), one ctest entry per GoogleTest suite.
# The x86_64 build always runs under Wine; the i686 build (the one that
# ships) only where 32-bit Wine works (VEL_WINE32), else it only checks its
# images.

set(vel_tests_dir ${PROJECT_SOURCE_DIR}/tests)

if(VEL_FUZZ)
  file(GLOB fuzz_sources CONFIGURE_DEPENDS ${vel_tests_dir}/fuzz/*_fuzz.cpp)
  set(VEL_FUZZ_SECONDS 20 CACHE STRING "Seconds each fuzz target runs in ctest")
  foreach(src IN LISTS fuzz_sources)
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_link_libraries(${name} PRIVATE pkgtoollib)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set(corpus ${CMAKE_BINARY_DIR}/corpus/${name})
    file(MAKE_DIRECTORY ${corpus})
    # Committed seeds are read as a second corpus; new finds go to the first.
    set(seeds "")
    if(IS_DIRECTORY ${vel_tests_dir}/fuzz/corpus/${name})
      set(seeds ${vel_tests_dir}/fuzz/corpus/${name})
    endif()
    add_test(NAME ${name}
             COMMAND ${name} -max_total_time=${VEL_FUZZ_SECONDS}
                     -rss_limit_mb=2048 -timeout=10 ${corpus} ${seeds})
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  endforeach()
  return()
endif()

set(vel_run_wine FALSE)
if(WIN32 AND CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(vel_run_wine TRUE)
  set(VEL_WINE_ARCH win64)
  set(VEL_WINE_PREFIX_ARCH win64)
elseif(WIN32 AND CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  # 32-bit Wine needs a kernel that runs 32-bit programs and Debian's wine32
  # (its loader is /usr/lib/wine/wine). scripts/setup passes the answer; a
  # plain configure probes once.
  if(NOT DEFINED CACHE{VEL_WINE32})
    execute_process(COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/cmake/runs_32bit.py
                            ${CMAKE_BINARY_DIR}
                    RESULT_VARIABLE vel_runs_32bit OUTPUT_QUIET ERROR_QUIET)
    set(vel_wine32_found OFF)
    if(vel_runs_32bit EQUAL 0 AND EXISTS /usr/lib/wine/wine)
      set(vel_wine32_found ON)
    endif()
    message(STATUS "32-bit Wine runs here: ${vel_wine32_found}")
  endif()
  option(VEL_WINE32 "Run the Windows tests of the i686 build under 32-bit Wine"
         ${vel_wine32_found})
  if(VEL_WINE32)
    set(vel_run_wine TRUE)
    set(VEL_WINE_ARCH win32)
    # A 64-bit prefix: the i686 programs run under WOW64 there, as the shipped
    # launcher does on today's Windows, so its registry views really differ.
    set(VEL_WINE_PREFIX_ARCH win64)
  else()
    file(REMOVE ${CMAKE_BINARY_DIR}/wine-run)  # of an earlier configure with VEL_WINE32
  endif()
endif()

if(NOT WIN32)
  find_package(GTest REQUIRED)
  include(GoogleTest)
  set(vel_gtest GTest::gtest GTest::gtest_main GTest::gmock)
elseif(vel_run_wine)
  # GoogleTest from the sources of Debian's googletest package.
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(vel_gtest gtest gtest_main gmock)
endif()

if(vel_run_wine)
  set(VEL_WINE_ROOT ${CMAKE_BINARY_DIR}/wine)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.in
                 ${CMAKE_BINARY_DIR}/wine-run @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
                                  GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(VEL_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run)
  add_test(NAME wine_start COMMAND ${VEL_WINE_RUN} --init)
  add_test(NAME wine_stop COMMAND ${VEL_WINE_RUN} --stop)
  set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
  set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine)

  # The local HTTP server of the download tests: started before win_tests,
  # which finds its ports in http/port (through Wine's Z: drive), ended after.
  set(VEL_HTTP_DIR ${CMAKE_BINARY_DIR}/http)
  set(vel_http_server ${vel_tests_dir}/helpers/http_server.py)
  add_test(NAME http_server_start COMMAND ${Python3_EXECUTABLE} ${vel_http_server} start ${VEL_HTTP_DIR})
  add_test(NAME http_server_stop COMMAND ${Python3_EXECUTABLE} ${vel_http_server} stop ${VEL_HTTP_DIR})
  set_tests_properties(http_server_start PROPERTIES FIXTURES_SETUP http TIMEOUT 60)
  set_tests_properties(http_server_stop PROPERTIES FIXTURES_CLEANUP http TIMEOUT 60)
endif()

# A test program of the build: natively one ctest entry per test; under Wine
# one per suite (<arch>.<program>.<Suite>), listed lazily at ctest time by
# cmake/wine-suites.cmake: one Wine start for the whole program costs less
# than one per test.
function(vel_add_test_program name fixtures)
  if(vel_run_wine)
    set(base ${CMAKE_BINARY_DIR}/${name}_suites)
    string(CONCAT content
      "include([==[${PROJECT_SOURCE_DIR}/cmake/wine-suites.cmake]==])\n"
      "vel_wine_suites(\n"
      "  PROGRAM [==[$<TARGET_FILE:${name}>]==]\n"
      "  RUNNER [==[${VEL_WINE_RUN}]==]\n"
      "  WINE_ROOT [==[${VEL_WINE_ROOT}]==]\n"
      "  PREFIX ${VEL_WINE_ARCH}.${name}\n"
      "  TESTS_FILE [==[${base}_tests.cmake]==]\n"
      "  WORKING_DIRECTORY [==[${CMAKE_CURRENT_BINARY_DIR}]==]\n"
      "  TIMEOUT 600\n"
      "  CMAKE_COMMAND [==[${CMAKE_COMMAND}]==]\n"
      "  REGISTRATION [==[${base}_include.cmake]==]\n"
      "  FIXTURES [==[${fixtures}]==])\n")
    file(GENERATE OUTPUT ${base}_include.cmake CONTENT "${content}")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${base}_include.cmake)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()

# ---- unit tests of the portable code (native, and Windows under Wine) --------
file(GLOB unit_sources CONFIGURE_DEPENDS ${vel_tests_dir}/native/*.cpp)
if(unit_sources AND (NOT WIN32 OR vel_run_wine))
  add_executable(unit_tests ${unit_sources})
  target_link_libraries(unit_tests PRIVATE pkgtoollib debugviewlib ${vel_gtest})
  target_include_directories(unit_tests PRIVATE ${vel_tests_dir})
  target_compile_definitions(unit_tests PRIVATE
    VEL_TEST_DATA="${vel_tests_dir}/data")
  vel_add_test_program(unit_tests wine)
endif()

# ---- Win32 tests and their helper programs (Windows under Wine) --------------
if(vel_run_wine)
  file(GLOB helper_sources CONFIGURE_DEPENDS ${vel_tests_dir}/helpers/*.cpp)
  set(helper_targets "")
  foreach(src IN LISTS helper_sources)
    get_filename_component(name ${src} NAME_WE)
    # name_gui.cpp builds a GUI-subsystem program, others console programs.
    if(name MATCHES "_gui$")
      add_executable(${name} WIN32 ${src})
    else()
      add_executable(${name} ${src})
    endif()
    target_link_libraries(${name} PRIVATE velcore)
    target_include_directories(${name} PRIVATE ${vel_tests_dir})
    list(APPEND helper_targets ${name})
  endforeach()

  file(GLOB win_sources CONFIGURE_DEPENDS ${vel_tests_dir}/win/*.cpp)
  if(win_sources)
    add_executable(win_tests ${win_sources})
    # crypt32: the https test makes the test authority a trusted root.
    target_link_libraries(win_tests PRIVATE pkgtoollib ${vel_gtest} crypt32)
    target_include_directories(win_tests PRIVATE ${vel_tests_dir})
    target_compile_definitions(win_tests PRIVATE
      VEL_TEST_DATA="${vel_tests_dir}/data" VEL_HTTP_DIR="${VEL_HTTP_DIR}"
      VEL_SIGN_DIR="${CMAKE_BINARY_DIR}/signing")
    if(helper_targets)
      add_dependencies(win_tests ${helper_targets})
    endif()
    if(TARGET launcher)
      add_dependencies(win_tests launcher debugview)
    endif()
    # The download tests need the local HTTP server too.
    vel_add_test_program(win_tests "wine;http")
  endif()
endif()

# ---- the worked examples of docs/ that run Windows programs: each page's
# "sh test" blocks run with the Linux pkgtool of the native build and this
# build's launcher and sample programs under Wine.
if(vel_run_wine)
  set(VEL_NATIVE_PKGTOOL ${PROJECT_SOURCE_DIR}/build/native/pkgtool
      CACHE FILEPATH "Linux pkgtool that the worked examples of docs/ run")
  foreach(page signing reproducible-builds publishing-updates signed-updates)
    add_test(NAME docs.${page}
             COMMAND bash ${vel_tests_dir}/docs/doc_example_test.sh ${page} ${PROJECT_SOURCE_DIR}
                     ${CMAKE_BINARY_DIR} ${VEL_NATIVE_PKGTOOL} ${VEL_HTTP_DIR})
    set_tests_properties(docs.${page} PROPERTIES FIXTURES_REQUIRED "wine;http" TIMEOUT 600)
  endforeach()
endif()

# ---- the user guide: the worked examples that need no Windows program run
# with the native pkgtool, through the same runner.
if(NOT WIN32)
  foreach(page setup-packages web-installer update-agent command-line control-protocol)
    add_test(NAME docs.${page}
             COMMAND bash ${vel_tests_dir}/docs/doc_example_test.sh ${page} ${PROJECT_SOURCE_DIR}
                     ${CMAKE_BINARY_DIR} $<TARGET_FILE:pkgtool>)
  endforeach()
endif()

# ---- source layering: each folder of src/ includes only those before it -----
if(NOT WIN32)
  add_test(NAME layering
           COMMAND ${Python3_EXECUTABLE} ${vel_tests_dir}/layout/check_layering.py
                   ${PROJECT_SOURCE_DIR}/src)
  add_test(NAME no_iostreams
           COMMAND ${Python3_EXECUTABLE} ${vel_tests_dir}/layout/check_no_iostreams.py
                   ${PROJECT_SOURCE_DIR}/src)
endif()

# ---- image checks of the launcher (both Windows builds) ----------------------
if(WIN32)
  add_test(NAME launcher_image
           COMMAND ${Python3_EXECUTABLE} ${vel_tests_dir}/image/check_image.py
                   $<TARGET_FILE:launcher> ${CMAKE_OBJDUMP})
  # Every package and web-installer download carries the launcher: the
  # build fails the test when the shipped i686 image grows past 400,000
  # bytes (the x86_64 one: its size of today and a margin).
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(vel_launcher_limit 400000)
  else()
    set(vel_launcher_limit 450000)
  endif()
  add_test(NAME launcher_size
           COMMAND ${Python3_EXECUTABLE} ${vel_tests_dir}/image/check_size.py
                   $<TARGET_FILE:launcher> ${vel_launcher_limit})
  add_test(NAME launcher_manifest
           COMMAND ${Python3_EXECUTABLE} ${vel_tests_dir}/image/check_manifest.py
                   $<TARGET_FILE:launcher>)
endif()
