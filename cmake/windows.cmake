# Windows tree: the program, built with mingw-w64, and its tests, run under Wine.
set(DIST_DIR ${PROJECT_SOURCE_DIR}/build/dist)
set(NATIVE_BUILD_DIR ${PROJECT_SOURCE_DIR}/build/native CACHE PATH "native tree (readersim, helper)")
set(WINEBED ${PROJECT_SOURCE_DIR}/tests/support/winebed)

add_library(serial_win32 STATIC serial/serial_link_win32.cpp)
target_include_directories(serial_win32 PUBLIC ${PROJECT_SOURCE_DIR})

# The program a Windows user runs.
set(READER_BMP ${CMAKE_BINARY_DIR}/resources/reader.bmp)
add_custom_command(OUTPUT ${READER_BMP}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/resources
  COMMAND python3 ${PROJECT_SOURCE_DIR}/tools/make_reader_bitmap.py ${READER_BMP}
  DEPENDS ${PROJECT_SOURCE_DIR}/tools/make_reader_bitmap.py)
set_source_files_properties(ui/resources/varnek.rc PROPERTIES
  OBJECT_DEPENDS "${READER_BMP};${PROJECT_SOURCE_DIR}/ui/resources/varnek.manifest;${PROJECT_SOURCE_DIR}/ui/resources/resource.h")
add_executable(varnek WIN32
  ui/framework/app.cpp ui/framework/dialog.cpp ui/app.cpp ui/settings_dialog.cpp
  ui/resources/varnek.rc)
target_include_directories(varnek PRIVATE ${PROJECT_SOURCE_DIR})
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_BINARY_DIR}/resources -I${PROJECT_SOURCE_DIR}/ui/resources")
target_link_libraries(varnek PRIVATE reader_core port_discovery_win32 serial_win32)
set_target_properties(varnek PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${DIST_DIR})

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

# The dialog driver: finds the program's window and acts on it as a user would.
add_executable(dialog_driver tests/gui/dialog_driver.cpp)
target_link_libraries(dialog_driver PRIVATE windows_bed)

find_package(Python3 REQUIRED COMPONENTS Interpreter)
function(add_gui_test name script)
  add_test(NAME ${name}
    COMMAND ${WINEBED} --reader --gui --run ${name} --unix --
            ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/gui/${script} ${ARGN})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK wine TIMEOUT 600
    ENVIRONMENT "${ENV_BED};VARNEK_DRIVER=$<TARGET_FILE:dialog_driver>;VARNEK_EXE=${DIST_DIR}/varnek.exe")
endfunction()
add_gui_test(gui_tests gui_test.py)
add_gui_test(fault_tests fault_test.py)
add_gui_test(soak_tests soak_test.py 50)
