# The program's version and build, as `fenwright --version` shows them: the version is the one of
# project(VERSION) (the packages take it too), the build is the git commit of the source tree,
# taken when the project is configured ("unknown" outside a git checkout of this tree). A commit
# or a checkout makes the next build configure again, so the build never shows a stale commit.

set(FW_BUILD_ID unknown)
find_package(Git QUIET)
function(_fw_git out)
  execute_process(COMMAND ${GIT_EXECUTABLE} ${ARGN} WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                  OUTPUT_VARIABLE text OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE result
                  ERROR_QUIET)
  if(NOT result EQUAL 0)
    set(text "")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()
if(GIT_FOUND)
  _fw_git(_fw_top rev-parse --show-toplevel)
  _fw_git(_fw_commit rev-parse --short=7 HEAD)
  _fw_git(_fw_head_log rev-parse --git-path logs/HEAD)
  # A source tree unpacked inside some other checkout must not take that checkout's commit.
  if(_fw_top AND _fw_commit)
    file(REAL_PATH "${_fw_top}" _fw_top)
    file(REAL_PATH "${CMAKE_SOURCE_DIR}" _fw_source)
    if(_fw_top STREQUAL _fw_source)
      set(FW_BUILD_ID ${_fw_commit})
      if(_fw_head_log AND NOT IS_ABSOLUTE "${_fw_head_log}")
        set(_fw_head_log "${CMAKE_SOURCE_DIR}/${_fw_head_log}")
      endif()
      if(EXISTS "${_fw_head_log}")
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_fw_head_log}")
      endif()
    endif()
  endif()
endif()

configure_file(${CMAKE_CURRENT_LIST_DIR}/fenwright_version.h.in
               ${CMAKE_BINARY_DIR}/generated/fenwright_version.h @ONLY)
add_library(fw_version INTERFACE)
target_include_directories(fw_version INTERFACE ${CMAKE_BINARY_DIR}/generated)
