# The hailpatch engine: everything of the tool but its command line, linked
# by the tool, its tests and the fuzz build. Linux only (the host backend).
set(hailpatch_engine_dir ${CMAKE_CURRENT_LIST_DIR})
add_library(hailpatch_engine STATIC)
foreach(source package_check list_walk check_report package_files native_text_posix device_tree
               startup_run package_plan line_journal model_terminal check_run check_findings
               package_outcome)
  target_sources(hailpatch_engine PRIVATE ${hailpatch_engine_dir}/${source}.cpp)
endforeach()
target_include_directories(hailpatch_engine PUBLIC ${hailpatch_engine_dir} ${PROJECT_SOURCE_DIR})
target_link_libraries(hailpatch_engine PUBLIC hailwatch_core)
# The journal sees each line of the list run: the interpreter's calls of the
# line rules and the calls of the interpreter (the start-up's, and try's
# --list) are wrapped at link time, so the core runs unchanged and knows nothing of it.
foreach(call _Z17ClassifyPatchLinePKcPciiP9PatchLine _ZN10CPatchList20SearchPatchListFilesEPKci
             _ZN10CPatchList16RunPatchListOnceEPKc)
  target_link_options(hailpatch_engine INTERFACE "LINKER:--wrap=${call}")
endforeach()
