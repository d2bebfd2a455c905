# Tests: native ones run directly; on the win64 build every Windows test
# program runs through wine-run (one Xvfb display and one private prefix per
# build folder, a timeout on every run). The win32 build runs the same tests
# where 32-bit Wine is installed (scripts/setup installs it where the kernel
# runs 32-bit programs), in a 64-bit prefix, so that the tests see WOW64 as the
# shipped launcher does; elsewhere it only checks its images.

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
    add_test(NAME ${name}
             COMMAND ${name} -max_total_time=${VEL_FUZZ_SECONDS}
                     -rss_limit_mb=2048 -timeout=10 ${corpus})
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  endforeach()
  return()
endif()

set(vel_wine32_default OFF)
if(EXISTS /usr/lib/wine/wine)  # Debian's 32-bit Wine loader
  set(vel_wine32_default ON)
endif()
option(VEL_WIN32_TESTS "i686 build: build the tests and run them under 32-bit Wine"
       ${vel_wine32_default})

set(vel_run_wine FALSE)
if(WIN32 AND CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(vel_run_wine TRUE)
elseif(WIN32 AND VEL_WIN32_TESTS)
  set(vel_run_wine TRUE)
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
endif()

# A test program of the build: natively run as it is, on win64 under Wine.
function(vel_add_test_program name)
  if(vel_run_wine)
    add_test(NAME ${name} COMMAND ${VEL_WINE_RUN} $<TARGET_FILE:${name}>
             --gtest_color=no)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 900
                         ENVIRONMENT "VEL_WINE_TIMEOUT=880")
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()

# ---- unit tests of the portable code (native and win64) ----------------------
file(GLOB unit_sources CONFIGURE_DEPENDS ${vel_tests_dir}/native/*.cpp)
if(unit_sources AND (NOT WIN32 OR vel_run_wine))
  add_executable(unit_tests ${unit_sources})
  target_link_libraries(unit_tests PRIVATE pkgtoollib ${vel_gtest})
  target_include_directories(unit_tests PRIVATE ${vel_tests_dir})
  target_compile_definitions(unit_tests PRIVATE
    VEL_TEST_DATA="${vel_tests_dir}/data")
  vel_add_test_program(unit_tests)
endif()

# ---- Win32 tests and their helper programs (win64 under Wine) ----------------
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
    list(APPEND helper_targets ${name})
  endforeach()

  file(GLOB win_sources CONFIGURE_DEPENDS ${vel_tests_dir}/win/*.cpp)
  if(win_sources)
    add_executable(win_tests ${win_sources})
    target_link_libraries(win_tests PRIVATE pkgtoollib ${vel_gtest})
    target_include_directories(win_tests PRIVATE ${vel_tests_dir})
    target_compile_definitions(win_tests PRIVATE
      VEL_TEST_DATA="${vel_tests_dir}/data")
    if(helper_targets)
      add_dependencies(win_tests ${helper_targets})
    endif()
    if(TARGET launcher)
      add_dependencies(win_tests launcher)
    endif()
    vel_add_test_program(win_tests)
  endif()
endif()

# ---- source layering: each folder of src/ includes only those before it -----
if(NOT WIN32)
  add_test(NAME layering
           COMMAND ${Python3_EXECUTABLE} ${vel_tests_dir}/layout/check_layering.py
                   ${PROJECT_SOURCE_DIR}/src)
endif()

# ---- image checks of the launcher (both Windows builds) ----------------------
if(WIN32)
  add_test(NAME launcher_image
           COMMAND ${Python3_EXECUTABLE} ${vel_tests_dir}/image/check_image.py
                   $<TARGET_FILE:launcher> ${CMAKE_OBJDUMP})
  add_test(NAME launcher_manifest
           COMMAND ${Python3_EXECUTABLE} ${vel_tests_dir}/image/check_manifest.py
                   $<TARGET_FILE:launcher>)
endif()
