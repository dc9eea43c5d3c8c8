# veilgate_add_test(NAME name SOURCES ... LIBS ... [WINE_SERIAL] [LAUNCHER command...])
#
# One ctest entry per test executable. Windows test executables run under Wine
# through the cross-compiling emulator; WINE_SERIAL marks tests that use the
# shared Wine prefix's registry or profile folders, so they never run at once.
# On Windows those tests change what would be real user data and system
# settings on a real machine, so they also carry the system guard: they skip
# unless they run under Wine or the machine's owner opted in.
# A LAUNCHER command runs the executable instead (given as its next argument),
# for a test that needs a Wine prefix of its own.
function(veilgate_add_test)
  cmake_parse_arguments(ARG "WINE_SERIAL" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;LAUNCHER" ${ARGN})
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  if(ARG_LAUNCHER)
    add_test(NAME ${ARG_NAME} COMMAND ${ARG_LAUNCHER} $<TARGET_FILE:${ARG_NAME}> --gtest_brief=1)
  else()
    add_test(NAME ${ARG_NAME} COMMAND ${ARG_NAME} --gtest_brief=1)
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${ARG_NAME} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  if(ARG_LABELS)
    set_tests_properties(${ARG_NAME} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
  if(WIN32 AND ARG_WINE_SERIAL)
    set_tests_properties(${ARG_NAME} PROPERTIES RESOURCE_LOCK wine-prefix)
    # A source of the test itself: inside a library its registration, which
    # nothing refers to, would be dropped by the linker.
    target_sources(${ARG_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support/system_guard.cpp)
  endif()
endfunction()
