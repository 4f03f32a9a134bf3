# GoogleTest from Debian's sources, built as part of each configuration (native, sanitizer and
# mingw-w64 alike), so no prebuilt library is needed.
include(GoogleTest)

macro(kelvara_setup_googletest)
  set(KELVARA_GTEST_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${KELVARA_GTEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endmacro()

# kelvara_add_test(NAME name SOURCES ... [LIBS ...] [LABELS ...])
# One GoogleTest program; its cases are listed when ctest runs (PRE_TEST), so the Windows build
# needs neither Wine nor a display to build.
function(kelvara_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       PROPERTIES LABELS "${T_LABELS}" TIMEOUT 120)
endfunction()
