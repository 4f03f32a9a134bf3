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
# One GoogleTest program. Natively each case is a test of its own, listed when ctest runs
# (PRE_TEST). Under Wine a process costs seconds to start, far more than most cases take, so
# there the whole program is one test; its output names every failing case.
function(kelvara_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_brief=1)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}" TIMEOUT 600)
  else()
    gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                         PROPERTIES LABELS "${T_LABELS}" TIMEOUT 120)
  endif()
endfunction()
