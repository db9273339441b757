# tandexa_add_test(<name> SOURCES <files...> LIBS <targets...>)
# Builds one QtTest executable and registers it with CTest. Every test runs on
# the offscreen platform (no display needed) and has a timeout, so a message
# box nobody answers can never hang CI.
#
# In the sanitizer build every report ends the test with a failure. A test
# that asserts on memory growth says NO_QUARANTINE: AddressSanitizer's
# quarantine holds freed memory back and would count as growth.
function(tandexa_add_test name)
  cmake_parse_arguments(T "NO_QUARANTINE" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set(env "QT_QPA_PLATFORM=offscreen;TANDEXA_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data")
  if(TANDEXA_SANITIZE)
    target_compile_definitions(${name} PRIVATE TANDEXA_SANITIZE_BUILD)
    set(asan "halt_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1")
    if(T_NO_QUARANTINE)
      string(APPEND asan ":quarantine_size_mb=0")
    endif()
    list(APPEND env "ASAN_OPTIONS=${asan}"
      "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
      "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan.supp:print_suppressions=0")
    math(EXPR T_TIMEOUT "${T_TIMEOUT} * 3")
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
endfunction()
