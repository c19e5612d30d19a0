# Native tree: the core's unit tests and the project's tools.
find_package(GTest REQUIRED)
find_package(Threads REQUIRED)

add_executable(native_tests
  tests/native/recording_link.cpp
  tests/native/settings_test.cpp
  tests/native/protocol_test.cpp
  tests/native/reader_model_test.cpp)
target_link_libraries(native_tests PRIVATE reader_core reader_model GTest::gtest_main Threads::Threads)
include(GoogleTest)
gtest_discover_tests(native_tests DISCOVERY_MODE PRE_TEST)

add_executable(readersim tools/readersim/readersim.cpp)
target_link_libraries(readersim PRIVATE reader_model util)

# The test bed's modem-line helper goes into 32-bit Wine; a 64-bit build of it
# keeps ld.so quiet in the 64-bit shells that Wine's scripts run.
set(MODEMLINES_DIR ${CMAKE_BINARY_DIR}/modemlines)
foreach(platform i686 x86_64)
  if(platform STREQUAL i686)
    set(bits -m32)
  else()
    set(bits -m64)
  endif()
  set(out ${MODEMLINES_DIR}/${platform}/libmodemlines.so)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${MODEMLINES_DIR}/${platform}
    COMMAND gcc ${bits} -shared -fPIC -O2 -Wall -o ${out}
            ${PROJECT_SOURCE_DIR}/tests/support/modemlines.c -ldl
    DEPENDS ${PROJECT_SOURCE_DIR}/tests/support/modemlines.c)
  list(APPEND MODEMLINES_OUTPUTS ${out})
endforeach()
add_custom_target(modemlines ALL DEPENDS ${MODEMLINES_OUTPUTS})
