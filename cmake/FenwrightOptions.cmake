# Compile options shared by every target of the project: warnings as errors, the GBK execution
# character set (the running program's texts are GBK bytes, as its files and legacy readers expect)
# and the sanitizers of the selected preset.

add_library(fw_options INTERFACE)
target_include_directories(fw_options INTERFACE ${CMAKE_SOURCE_DIR})
target_compile_features(fw_options INTERFACE cxx_std_20)

if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(fw_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Werror
    -finput-charset=UTF-8 -fexec-charset=GBK)
elseif(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  # Clang has no GBK execution charset: in that build (fuzzing only) Chinese texts stay UTF-8.
  target_compile_options(fw_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Werror -Wno-invalid-source-encoding)
endif()

if(WIN32)
  target_compile_definitions(fw_options INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endif()

if(FW_SANITIZE)
  list(JOIN FW_SANITIZE "," _fw_san)
  add_compile_options(-fsanitize=${_fw_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_fw_san})
endif()

if(FW_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

find_package(Threads REQUIRED)
