# Shared CMake helpers.

# vltrx_library(<name> SOURCES ... [PUBLIC_DEPS ...] [DEPS ...]): one static
# library per subsystem. PUBLIC_DEPS are the libraries its headers include
# from, DEPS those only its sources use. Every library sees the repository
# root ("core/CError.h"); scripts/check-layers.py keeps the includes and
# these links pointing downward.
function(vltrx_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_DEPS;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${VLTRX_ROOT})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_DEPS} PRIVATE ${ARG_DEPS})
endfunction()

# vltrx_add_test(<name> SOURCES ... DEPS ...): one GoogleTest executable per
# subsystem, registered with ctest. Each test runs with its own HOME, XDG
# folders, TMPDIR and settings stores below the build tree, so no test ever
# sees the real user's settings, categories or temp files.
function(vltrx_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_compile_definitions(${name} PRIVATE
    VLTRX_TEST_DATA="${VLTRX_ROOT}/tests/data"
    VLTRX_EXE="$<TARGET_FILE:vltrx>")
  set(sandbox ${CMAKE_BINARY_DIR}/test-sandbox/${name})
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT
      "HOME=${sandbox}/home;XDG_CONFIG_HOME=${sandbox}/config;XDG_DATA_HOME=${sandbox}/data;TMPDIR=${sandbox}/tmp;VLTRX_USER_SETTINGS=${sandbox}/config/vltrx/settings.db;VLTRX_MACHINE_SETTINGS=${sandbox}/etc/vltrx/settings.db;VLTRX_TEST_SANDBOX=${sandbox};VLTRX_UPDATE_CHECK=0")
  file(MAKE_DIRECTORY ${sandbox}/home ${sandbox}/config ${sandbox}/data ${sandbox}/tmp ${sandbox}/etc)
endfunction()
