# ardix_add_test(NAME <name> SOURCES <files...> [LIBS <targets...>] [LABELS <labels...>]
#                [TIMEOUT <seconds>] [ARGS <args...>] [ENV <VAR=value...>])
#
# Builds one test program and registers it with ctest. Every run goes through
# tests/harness/isolate.sh, which gives the test its own empty HOME, XDG folders and
# working directory, so no test reads or writes a user's settings, logs or database.
set(ARDIX_ISOLATE "${CMAKE_CURRENT_LIST_DIR}/../tests/harness/isolate.sh")
# Every test's time limit is multiplied by this: the tsan preset's programs run several times
# slower, and a limit set on a test is not raised by ctest's --timeout.
set(ARDIX_TEST_TIMEOUT_SCALE 1 CACHE STRING "Factor applied to every test's time limit")

function(ardix_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;ARGS;ENV" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  if(NOT T_LABELS)
    set(T_LABELS unit)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS})
  ardix_warnings(${T_NAME})
  ardix_register_test(NAME ${T_NAME} COMMAND $<TARGET_FILE:${T_NAME}> ${T_ARGS}
                      LABELS ${T_LABELS} TIMEOUT ${T_TIMEOUT} ENV ${T_ENV})
endfunction()

# ardix_register_test(NAME <name> COMMAND <cmd...> [LABELS ...] [TIMEOUT s] [ENV ...])
# Registers an existing program (or script) as an isolated ctest test.
function(ardix_register_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "COMMAND;LABELS;ENV" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  math(EXPR T_TIMEOUT "${T_TIMEOUT} * ${ARDIX_TEST_TIMEOUT_SCALE}")
  add_test(NAME ${T_NAME} COMMAND /bin/bash ${ARDIX_ISOLATE} ${T_COMMAND})
  set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT}
                       ENVIRONMENT "ARDIX_BUILD_DIR=${CMAKE_BINARY_DIR};ARDIX_SOURCE_DIR=${CMAKE_SOURCE_DIR};${T_ENV}")
endfunction()
