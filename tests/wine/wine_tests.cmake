# Tests of the Windows builds under Wine: the i686 build (the product) under
# 32-bit Wine, the x86_64 build under 64-bit Wine, each in a throw-away prefix
# of its own that the "<build>wine_prefix" fixture creates and removes again.
set(TESTS_DIR ${CMAKE_CURRENT_SOURCE_DIR})

find_program(OBJDUMP NAMES ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-objdump objdump REQUIRED)
# What the loader checks: header, DLLs and (32-bit) every imported function.
add_test(NAME ${P}loadable
  COMMAND python3 ${TESTS_DIR}/wine/loadable_test.py $<TARGET_FILE:fix_tamrix>
    ${CMAKE_BINARY_DIR}/fix_tamrix.map)
add_python_test(resources tests.wine.test_resources
  "FIX_TAMRIX_EXE=$<TARGET_FILE:fix_tamrix>" "FIX_TAMRIX_OBJDUMP=${OBJDUMP}"
  "FIX_TAMRIX_VERSION=${PROJECT_VERSION}")

# `wine` picks the loader by the exe's kind; the 64-bit one is named outright
# so that a 64-bit test never depends on that choice.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(WINE_LOADER /usr/lib/wine/wine64)
else()
  set(WINE_LOADER wine)
endif()

# Wine's ANSI code page follows the locale it starts under (LANG), and one
# wineserver keeps one: each code page the tests run under has a prefix of its
# own, made under its locale. The default prefix is code page 1252's.
set(WINE_LOCALE_1252 C.UTF-8)
set(WINE_LOCALE_932 ja_JP.UTF-8)
set(WINE_LOCALE_936 zh_CN.UTF-8)
set(WINE_LOCALE_1251 ru_RU.UTF-8)
function(add_wine_prefix dir fixture code_page)
  set(locale "LANG=${WINE_LOCALE_${code_page}};LC_ALL=${WINE_LOCALE_${code_page}}")
  add_test(NAME ${fixture}_setup COMMAND ${TESTS_DIR}/wine/wine_prefix.sh setup ${dir})
  add_test(NAME ${fixture}_cleanup COMMAND ${TESTS_DIR}/wine/wine_prefix.sh cleanup ${dir})
  set_tests_properties(${fixture}_setup PROPERTIES FIXTURES_SETUP ${fixture} ENVIRONMENT "${locale}")
  set_tests_properties(${fixture}_cleanup PROPERTIES FIXTURES_CLEANUP ${fixture})
endfunction()

set(WINE_PREFIX_DIR ${CMAKE_BINARY_DIR}/wine-test-prefix)
set(PREFIX_FIXTURE ${P}wine_prefix)
set(RUNS_FIXTURE ${P}wine_runs)
add_wine_prefix(${WINE_PREFIX_DIR} ${PREFIX_FIXTURE} 1252)

# A program of this build that prints a known line: every other Wine test of
# the build waits for it, since a loader that cannot run the build's programs
# exits 0 and prints nothing. It also prints the code page, which every test
# module checks.
add_executable(wine_probe ${TESTS_DIR}/wine/probe.cpp)
set(WINE_COMMON_ENV "WINEDEBUG=-all" "WINEDLLOVERRIDES=mscoree,mshtml="
  "FIX_TAMRIX_WINE=${WINE_LOADER}" "FIX_TAMRIX_PROBE=$<TARGET_FILE:wine_probe>"
  "FIX_TAMRIX_EXE=$<TARGET_FILE:fix_tamrix>")
set(WINE_ENV "WINEPREFIX=${WINE_PREFIX_DIR}" ${WINE_COMMON_ENV} "LANG=${WINE_LOCALE_1252}"
  "LC_ALL=${WINE_LOCALE_1252}" "FIX_TAMRIX_CODE_PAGE=1252")
# First one line of how the host ran 32-bit code (natively or emulated).
add_test(NAME ${P}wine_runs COMMAND sh -c "\"$0\"; exec \"$@\"" ${CMAKE_SOURCE_DIR}/scripts/i386_check.sh
  ${WINE_LOADER} $<TARGET_FILE:wine_probe>)
set_tests_properties(${P}wine_runs PROPERTIES
  ENVIRONMENT "${WINE_ENV}" PASS_REGULAR_EXPRESSION "fix_tamrix probe: Windows program running"
  FIXTURES_REQUIRED ${PREFIX_FIXTURE} FIXTURES_SETUP ${RUNS_FIXTURE} RESOURCE_LOCK ${PREFIX_FIXTURE})

# A unittest module run under Wine in this build's prefix, optionally with
# Wine reporting another Windows version (the test is then named after it);
# the tests of one prefix take turns.
function(add_wine_python_test name module version)
  set(env ${WINE_ENV} ${ARGN})
  set(test_name ${name})
  if(version)
    list(APPEND env "FIX_TAMRIX_WINDOWS_VERSION=${version}")
    set(test_name ${name}.${version})
  endif()
  add_python_test(${test_name} ${module} ${env})
  set_tests_properties(${P}${test_name} PROPERTIES
    FIXTURES_REQUIRED "${PREFIX_FIXTURE};${RUNS_FIXTURE}" RESOURCE_LOCK ${PREFIX_FIXTURE})
endfunction()

# The unit tests that need no fault injection, cross-built with GoogleTest's
# sources and run against Wine's real registry and files.
set(REAL_TEST_SOURCES ${UNIT_TEST_SOURCES})
list(FILTER REAL_TEST_SOURCES INCLUDE REGEX "_real_test\\.cpp$")
if(REAL_TEST_SOURCES)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # The default (win32-threads) mingw-w64 has no std::mutex, on which
  # GoogleTest builds only its Notification: give it one over a Win32 event.
  include(CheckCXXSourceCompiles)
  check_cxx_source_compiles("#include <mutex>\nint main() { std::mutex m; m.lock(); }"
    FIX_TAMRIX_HAVE_STD_MUTEX)
  if(NOT FIX_TAMRIX_HAVE_STD_MUTEX)
    target_compile_definitions(gtest PUBLIC GTEST_HAS_NOTIFICATION_=1)
    target_compile_options(gtest PUBLIC -include ${TESTS_DIR}/wine/gtest_notification.h)
  endif()
  # Support for native builds only: it drives the stand-in's hooks or reads
  # the source tree.
  list(FILTER SUPPORT_SOURCES EXCLUDE REGEX "/(native_run|expected_text|recorded_calls)\\.cpp$")
  add_executable(fix_tamrix_real_tests ${REAL_TEST_SOURCES} ${SUPPORT_SOURCES})
  target_include_directories(fix_tamrix_real_tests PRIVATE ${TESTS_DIR})
  target_link_libraries(fix_tamrix_real_tests PRIVATE fix_tamrix_engine gtest gmock gtest_main)
  set(REAL_TESTS_ENV "FIX_TAMRIX_REAL_TESTS=$<TARGET_FILE:fix_tamrix_real_tests>")
  add_wine_python_test(real_tests tests.wine.real_tests "" ${REAL_TESTS_ENV})
  if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    # The file deletions on both Windows families: deletion at restart on
    # the NT family, a plain failure on the 95 family.
    foreach(version win98 winxp)
      add_wine_python_test(real_files tests.wine.real_tests ${version} ${REAL_TESTS_ENV}
        "FIX_TAMRIX_GTEST_FILTER=SignatureRealTest.*:ForceDeleteRealTest.*")
    endforeach()
  endif()
endif()

# Writes log lines as fast as it can, for the test of copies sharing one log.
add_executable(log_probe ${TESTS_DIR}/wine/log_probe.cpp)
target_link_libraries(log_probe PRIVATE fix_tamrix_engine)
set(LOG_PROBE_ENV "FIX_TAMRIX_LOG_PROBE=$<TARGET_FILE:log_probe>")
# Stands in for a running worm that writes its value back (test_registry.py).
add_executable(worm_stand_in ${TESTS_DIR}/wine/worm_stand_in.cpp)
# The link map, for the loader test of the signed exe (test_release.py).
set(E2E_ENV ${LOG_PROBE_ENV} "FIX_TAMRIX_WORM=$<TARGET_FILE:worm_stand_in>"
  "FIX_TAMRIX_MAP=${CMAKE_BINARY_DIR}/fix_tamrix.map")

# End-to-end runs of the program: whole console transcripts, logs, registry.
# The product's cleaning runs go through every Windows family it is for.
# (test_resources runs above, without Wine.)
# The undo file's three forms: version 5.00 in UTF-16 (the default), REGEDIT4
# on NT 4.0 and on the 95 family.
foreach(name boxes command_line log_sharing registry release undo)
  set(stem test_${name})
  if(name STREQUAL "registry" AND NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    foreach(version win98 nt40 winxp win10)
      add_wine_python_test(e2e.${name} tests.wine.${stem} ${version} ${E2E_ENV})
    endforeach()
  else()
    add_wine_python_test(e2e.${name} tests.wine.${stem} "" ${E2E_ENV})
  endif()
  if(name STREQUAL "undo" AND NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    foreach(version win98 nt40)
      add_wine_python_test(e2e.${name} tests.wine.${stem} ${version} ${E2E_ENV})
    endforeach()
  endif()
endforeach()

# The product's cleaning, its undo round trip and its folder cases under the
# other code pages: double-byte 932 and 936 (second bytes that look like a
# backslash), 1251; each in its own prefix, taking turns within it.
if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  foreach(code_page 932 936 1251)
    set(dir ${CMAKE_BINARY_DIR}/wine-test-prefix-cp${code_page})
    set(fixture ${P}wine_prefix_cp${code_page})
    add_wine_prefix(${dir} ${fixture} ${code_page})
    foreach(name registry undo)
      set(test ${P}e2e.${name}.cp${code_page})
      add_python_test(e2e.${name}.cp${code_page} tests.wine.test_${name} "WINEPREFIX=${dir}"
        ${WINE_COMMON_ENV} ${E2E_ENV} "LANG=${WINE_LOCALE_${code_page}}"
        "LC_ALL=${WINE_LOCALE_${code_page}}" "FIX_TAMRIX_CODE_PAGE=${code_page}")
      set_tests_properties(${test} PROPERTIES
        FIXTURES_REQUIRED "${fixture};${RUNS_FIXTURE}" RESOURCE_LOCK ${fixture})
    endforeach()
  endforeach()
endif()
