# The core (log/, app/, patch/) is written for the device's compiler, Visual
# Studio 2008: C++03. Tests and tools use C++17 (CMAKE_CXX_STANDARD), which
# CMake adds to a target's command line after its own options; the last -std
# wins, so a core target must drop that standard, not merely add its own.

# Narrow literals are stored in code page 949; sources stay UTF-8.
set(HAILWATCH_EXEC_CHARSET -fexec-charset=CP949)

# hailwatch_core_language(TARGET [PEDANTIC]): compile TARGET as the core is
# compiled; PEDANTIC also refuses every extension beyond C++03.
function(hailwatch_core_language target)
  cmake_parse_arguments(ARG "PEDANTIC" "" "" ${ARGN})
  set_property(TARGET ${target} PROPERTY CXX_STANDARD)
  set_property(TARGET ${target} PROPERTY CXX_STANDARD_REQUIRED)
  set_property(TARGET ${target} PROPERTY CXX_EXTENSIONS)
  target_compile_options(${target} PRIVATE -std=c++03 ${HAILWATCH_EXEC_CHARSET})
  if(ARG_PEDANTIC)
    target_compile_options(${target} PRIVATE -pedantic)
  endif()
endfunction()
