# The hailpatch engine: everything of the tool but its command line, linked
# by the tool, its tests and the fuzz build. It runs the terminal's core on
# the host backend, on Linux and on a Windows PC alike.
set(hailpatch_engine_dir ${CMAKE_CURRENT_LIST_DIR})
add_library(hailpatch_engine STATIC)
foreach(source package_check list_walk check_report package_files device_tree
               startup_run package_plan model_terminal core_hooks start_trace device_tracker
               list_record cut_sweep invariants own_files check_run check_findings
               undo_listing rollback_findings left_alone path_glob pc_names)
  target_sources(hailpatch_engine PRIVATE ${hailpatch_engine_dir}/${source}.cpp)
endforeach()
target_include_directories(hailpatch_engine PUBLIC ${hailpatch_engine_dir} ${PROJECT_SOURCE_DIR})
# nlohmann-json (Debian nlohmann-json3-dev, header-only) for `check --json`,
# copied into the build tree so the Windows build sees no other Linux header.
find_path(HAILPATCH_JSON_DIR nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
file(COPY ${HAILPATCH_JSON_DIR}/nlohmann DESTINATION ${CMAKE_CURRENT_BINARY_DIR}/json)
target_include_directories(hailpatch_engine SYSTEM PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/json)
# What the engine needs of the PC it reaches through the host backend's one
# PC layer (platform/host/native.h), with tools/common/pc_text.h over it.
if(WIN32)
  target_link_libraries(hailpatch_engine PUBLIC hailwatch_core_model)
else()
  target_link_libraries(hailpatch_engine PUBLIC hailwatch_core)
endif()
# The private key's side (keygen, sign): OpenSSL's libcrypto on Linux (Debian
# libssl-dev), the PC's CryptoAPI on Windows, with one key file form. Its PC
# calls go through the host backend's PC layer.
if(WIN32)
  add_library(hailpatch_keys STATIC ${hailpatch_engine_dir}/key_files.cpp
    ${hailpatch_engine_dir}/key_crypto_cryptoapi.cpp ${hailpatch_engine_dir}/private_key_form.cpp)
else()
  find_package(OpenSSL REQUIRED COMPONENTS Crypto)
  add_library(hailpatch_keys STATIC ${hailpatch_engine_dir}/key_files.cpp
    ${hailpatch_engine_dir}/key_crypto_openssl.cpp)
  target_link_libraries(hailpatch_keys PUBLIC OpenSSL::Crypto)
endif()
target_include_directories(hailpatch_keys PUBLIC ${hailpatch_engine_dir} ${PROJECT_SOURCE_DIR})
target_link_libraries(hailpatch_keys PUBLIC platform_host)
# The start is watched step by step: the interpreter's calls of the line
# reader and the line rules, the calls of the interpreter (the start-up's, and try's --list), the
# copies, the folder deletions, the package test, the signature check and the
# reading of the list's progress record are
# wrapped at link time (core_hooks.cpp), so the core runs unchanged and knows
# nothing of it.
# A C runtime's FILE is its own type, and part of the reader's name.
if(WIN32)
  set(hailpatch_read_numbered _Z21ReadNumberedPatchLineP6_iobufPcP15PatchListReader)
else()
  set(hailpatch_read_numbered _Z21ReadNumberedPatchLineP8_IO_FILEPcP15PatchListReader)
endif()
foreach(call _Z17ClassifyPatchLinePKcPciiP9PatchLine ${hailpatch_read_numbered}
             _ZN10CPatchList20SearchPatchListFilesEPKci
             _ZN10CPatchList16RunPatchListOnceEPKc _ZN10CPatchList2CPEPKcS1_i
             _ZN10CPatchList12DeleteFolderEPKc _ZN10CPatchList13IsFolderFilesEPKci
             _ZN10CPatchList22CopyFilesFolder2FolderEPKcS1_iS1_
             _Z19VerifySignedPackagePKcS0_S0_ _Z16LoadListProgressPKcP12ListProgress)
  target_link_options(hailpatch_engine INTERFACE "LINKER:--wrap=${call}")
endforeach()
