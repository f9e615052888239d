# The fuzz build: libFuzzer targets under tests/fuzz, with AddressSanitizer
# and UndefinedBehaviorSanitizer, built by clang (the fuzz preset). Clang has
# no option for the literal code page, so this build keeps literals in UTF-8.
option(HAILWATCH_FUZZ "Build the libFuzzer targets (clang) instead of the tests and tools" OFF)
if(HAILWATCH_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "the fuzz build needs clang (libFuzzer); configure it with the fuzz preset")
  endif()
  set(HAILWATCH_EXEC_CHARSET)
  # Everything is instrumented for coverage; only the targets link libFuzzer.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
endif()
