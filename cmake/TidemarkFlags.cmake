# Compiler settings shared by every target of the project.
option(TIDEMARK_WERROR "Treat compiler warnings as errors (scripts/test.sh turns this on)" OFF)

add_library(tidemark_flags INTERFACE)
target_compile_options(tidemark_flags INTERFACE
  -Wall -Wextra -Wshadow -Wconversion
  # Sample conversion must give bit-identical results on every path, so no
  # fused multiply-add contraction anywhere.
  -ffp-contract=off)
if(TIDEMARK_WERROR)
  target_compile_options(tidemark_flags INTERFACE -Werror)
endif()

if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64")
  # Baseline x86-64 only: faster instruction sets are chosen at run time.
  target_compile_options(tidemark_flags INTERFACE -march=x86-64 -mtune=generic)
endif()

if(TIDEMARK_SANITIZE)
  target_compile_options(tidemark_flags INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(tidemark_flags INTERFACE -fsanitize=address,undefined)
endif()

if(TIDEMARK_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TIDEMARK_FUZZ needs clang (configure with CXX=clang++-16)")
  endif()
  # Instrument every library for coverage; only the fuzz targets link libFuzzer's main.
  target_compile_options(tidemark_flags INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(tidemark_flags INTERFACE -fsanitize=address,undefined)
endif()
