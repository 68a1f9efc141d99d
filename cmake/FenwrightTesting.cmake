# GoogleTest for both targets and one ctest entry per test binary. Under Wine every test binary
# runs in one shared prefix and one Wine session (fixtures), because Wine's start-up costs seconds.

if(CMAKE_CROSSCOMPILING)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  include(FetchContent)
  FetchContent_Declare(googletest SOURCE_DIR /usr/src/googletest)
  FetchContent_MakeAvailable(googletest)
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
else()
  find_package(GTest REQUIRED)
endif()

set(FW_WINE OFF)
if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR MATCHES "wine")
  set(FW_WINE ON)
  set(WINE_PREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "")
  set(WINE_ENV "WINEPREFIX=${WINE_PREFIX}" "WINEDEBUG=-all" "WINEDLLOVERRIDES=mscoree,mshtml=")
endif()

# fw_add_test(name SOURCES ... LIBS ... [ENV ...]): one gtest binary, one ctest entry.
function(fw_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} fw_options GTest::gtest GTest::gtest_main Threads::Threads)
  target_compile_definitions(${name} PRIVATE FW_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                             FW_BINARY_DIR="${CMAKE_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  set_tests_properties(${name} PROPERTIES TIMEOUT 900)
  if(T_ENV)
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT ${T_ENV})
  endif()
  if(FW_WINE)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine)
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT ${WINE_ENV})
  endif()
endfunction()

# The shared Wine session of a ctest run.
function(fw_finish_tests)
  if(FW_WINE)
    add_test(NAME wine_session_start COMMAND sh -c
      "wineserver -p </dev/null >/dev/null 2>&1; wine cmd /c exit </dev/null >/dev/null 2>&1; mkdir -p \"${WINE_PREFIX}/drive_c/windows/Fonts\"; cp -n /usr/share/wine/fonts/marlett.ttf /usr/share/wine/fonts/tahoma*.ttf \"${WINE_PREFIX}/drive_c/windows/Fonts/\" 2>/dev/null; true")
    add_test(NAME wine_session_stop COMMAND wineserver -k)
    set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine ENVIRONMENT "${WINE_ENV}")
    set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine ENVIRONMENT "${WINE_ENV}")
  endif()
endfunction()
