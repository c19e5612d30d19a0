# Windows tree: the program, built with mingw-w64, and its tests, run under Wine.
set(DIST_DIR ${PROJECT_SOURCE_DIR}/build/dist)
set(NATIVE_BUILD_DIR ${PROJECT_SOURCE_DIR}/build/native CACHE PATH "native tree (readersim, helper)")
set(WINEBED ${PROJECT_SOURCE_DIR}/tests/support/winebed)

add_library(serial_win32 STATIC serial/serial_link_win32.cpp)
target_include_directories(serial_win32 PUBLIC ${PROJECT_SOURCE_DIR})

# GoogleTest from the sources Debian installs, built for Windows.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_library(port_discovery_win32 STATIC serial/port_discovery_win32.cpp)
target_include_directories(port_discovery_win32 PUBLIC ${PROJECT_SOURCE_DIR})

add_library(windows_bed STATIC tests/windows/bed.cpp tests/windows/serialcomm.cpp)
target_link_libraries(windows_bed PUBLIC gtest)
target_include_directories(windows_bed PUBLIC ${PROJECT_SOURCE_DIR})

# Every Windows test shares the one Wine prefix and COM port, so they run one at a time.
add_test(NAME wine_prefix COMMAND ${WINEBED} --init)
set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine RESOURCE_LOCK wine)
set(ENV_BED "VARNEK_BUILD=${PROJECT_SOURCE_DIR}/build")

function(add_wine_test name)
  cmake_parse_arguments(T "GUI" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} windows_bed gtest_main)
  set(opts --reader --run ${name})
  if(T_GUI)
    list(APPEND opts --gui)
  endif()
  add_test(NAME ${name} COMMAND ${WINEBED} ${opts} -- $<TARGET_FILE:${name}>)
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK wine
                       ENVIRONMENT "${ENV_BED}" TIMEOUT 300)
endfunction()

add_wine_test(serial_link_tests SOURCES tests/windows/serial_link_test.cpp LIBS serial_win32)
add_wine_test(transaction_tests SOURCES tests/windows/transaction_test.cpp
              LIBS reader_core serial_win32)
add_wine_test(port_discovery_tests GUI SOURCES tests/windows/port_discovery_test.cpp
              LIBS port_discovery_win32)
