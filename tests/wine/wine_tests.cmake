# Tests of the Windows builds. The x86_64 build runs under wine64 in a
# throw-away prefix that the "wine_prefix" fixture creates and removes again;
# the i686 build cannot run here, so only the exe itself is read.
set(TESTS_DIR ${CMAKE_CURRENT_SOURCE_DIR})

find_program(OBJDUMP NAMES ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-objdump objdump REQUIRED)
# What the loader checks: header, DLLs and (32-bit) every imported function.
add_test(NAME ${P}loadable
  COMMAND python3 ${TESTS_DIR}/wine/loadable_test.py $<TARGET_FILE:fix_tamrix>
    ${CMAKE_BINARY_DIR}/fix_tamrix.map)
add_test(NAME ${P}resources
  COMMAND python3 ${TESTS_DIR}/wine/check_resources.py ${OBJDUMP} $<TARGET_FILE:fix_tamrix>)

if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  return()
endif()

set(WINE_PREFIX_DIR ${CMAKE_BINARY_DIR}/wine-test-prefix)
add_test(NAME ${P}wine_prefix_setup COMMAND ${TESTS_DIR}/wine/wine_prefix.sh setup ${WINE_PREFIX_DIR})
add_test(NAME ${P}wine_prefix_cleanup COMMAND ${TESTS_DIR}/wine/wine_prefix.sh cleanup ${WINE_PREFIX_DIR})
set_tests_properties(${P}wine_prefix_setup PROPERTIES FIXTURES_SETUP wine_prefix)
set_tests_properties(${P}wine_prefix_cleanup PROPERTIES FIXTURES_CLEANUP wine_prefix)

# Runs `name` under wine in the test prefix; every such test shares it, so
# they take turns.
function(add_wine_test name)
  add_test(NAME ${P}${name} COMMAND ${ARGN})
  set_tests_properties(${P}${name} PROPERTIES
    FIXTURES_REQUIRED wine_prefix RESOURCE_LOCK wine_prefix
    ENVIRONMENT "WINEPREFIX=${WINE_PREFIX_DIR};WINEDEBUG=-all;FIX_TAMRIX_EXE=$<TARGET_FILE:fix_tamrix>;FIX_TAMRIX_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()

# The unit tests that need no fault injection, cross-built with GoogleTest's
# sources and run against Wine's real registry and files.
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
  # Support for native builds only: it drives the native layer's hooks.
  list(FILTER SUPPORT_SOURCES EXCLUDE REGEX "/native_run\\.cpp$")
  add_executable(fix_tamrix_real_tests ${REAL_TEST_SOURCES} ${SUPPORT_SOURCES})
  target_include_directories(fix_tamrix_real_tests PRIVATE ${TESTS_DIR})
  target_link_libraries(fix_tamrix_real_tests PRIVATE fix_tamrix_engine gtest gmock gtest_main)
  add_wine_test(real_tests wine $<TARGET_FILE:fix_tamrix_real_tests>)
endif()

# End-to-end runs of the program: whole console transcripts, logs, registry.
file(GLOB E2E_SCRIPTS CONFIGURE_DEPENDS ${TESTS_DIR}/wine/*_e2e.py)
foreach(script ${E2E_SCRIPTS})
  get_filename_component(stem ${script} NAME_WE)
  add_wine_test(${stem} python3 ${script})
endforeach()
