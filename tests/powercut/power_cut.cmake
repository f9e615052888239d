# hailwatch_power_cut(TARGET): the power-cut harness in TARGET. The platform's
# file calls are wrapped at link time (GNU ld's --wrap), so a test can cut
# the power between the core and the host backend without either knowing.
function(hailwatch_power_cut target)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests/powercut/power_cut.cpp
                                   ${PROJECT_SOURCE_DIR}/tests/powercut/device_tree.cpp)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  foreach(call GetFileAttributesW SetFileAttributesW DeleteFileW CopyFileW
               CreateDirectoryW RemoveDirectoryW FindFirstFileW FindNextFileW
               FindClose HostFopen HostFwrite HostFclose)
    target_link_options(${target} PRIVATE "LINKER:--wrap=${call}")
  endforeach()
endfunction()
