# tarnel_add_test(<name> SOURCES <files...> LIBS <the library under test...>)
# One Qt Test executable registered with CTest. The test's own main (TARNEL_TEST_MAIN) gives it the
# offscreen platform and a fresh temporary HOME, XDG_DATA_HOME and TMPDIR, so no test touches real user files.
function(tarnel_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE tarnel_testsupport Qt6::Test ${T_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  # Under the sanitizers everything runs several times slower.
  if(TARNEL_SANITIZE)
    math(EXPR T_TIMEOUT "${T_TIMEOUT} * 4")
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
