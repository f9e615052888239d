# The PC tools as engineers install them. In the build folder of any Linux
# preset, `cpack -G DEB` makes hailwatch-tools_VERSION_ARCH.deb (/usr/bin/
# hailpatch, /usr/bin/hailog, their manual pages, the copyright file and the
# changelog, its dependencies read by dpkg-shlibdeps); in the 32-bit Windows
# one, `cpack -G ZIP` makes hailwatch-tools-VERSION-win32.zip (the tools'
# exes and a README.txt). Both hold stripped programs: the debug information
# stays in the build tree's own copies.
set(CPACK_PACKAGE_NAME hailwatch-tools)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Hailwatch")
set(CPACK_PACKAGE_CONTACT "Hailwatch engineers <engineers@hailwatch.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Hailwatch terminal tools: update packages and terminal logs")
set(CPACK_STRIP_FILES ON)

# The package step builds what it ships and nothing else: installing no
# longer builds `all` (every test and benchmark), and the install script
# builds pc_tools (the tools and their pages) before it copies them. The
# rule runs ahead of every other install rule (tools/CMakeLists.txt).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
add_custom_target(pc_tools)
if(WIN32)
  add_dependencies(pc_tools hailpatch hailctl)
else()
  add_dependencies(pc_tools hailpatch hailog hailpatch_manual hailog_manual)
endif()

if(WIN32)
  install(TARGETS hailpatch hailctl RUNTIME DESTINATION .)
  if(TARGET hailog)
    add_dependencies(pc_tools hailog)
    install(TARGETS hailog RUNTIME DESTINATION .)
  endif()
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/zip-readme.txt DESTINATION . RENAME README.txt)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(hailwatch_windows_bits win32)
  else()
    set(hailwatch_windows_bits win64)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${hailwatch_windows_bits})
else()
  install(TARGETS hailpatch hailog RUNTIME DESTINATION bin)
  # Debian wants both under /usr/share/doc/PACKAGE, the changelog compressed
  # with no time stamp in it.
  set(hailwatch_doc share/doc/${CPACK_PACKAGE_NAME})
  set(hailwatch_changelog ${CMAKE_BINARY_DIR}/changelog.gz)
  execute_process(COMMAND gzip -9n -c ${CMAKE_CURRENT_LIST_DIR}/debian/changelog
    OUTPUT_FILE ${hailwatch_changelog} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip of the changelog failed")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/debian/changelog)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${hailwatch_changelog} DESTINATION ${hailwatch_doc})
  # The summary is the synopsis line; this is the text below it.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "For engineers who look after a fleet of Hailwatch taxi terminals.
hailpatch checks an update package on a model terminal running the
terminal's own start-up code, with a power cut after every change it makes,
tries it on a copy of a terminal, makes one from two install folders, and
signs it for terminals that hold the fleet's key. hailog lists, filters and
summarises a terminal's hourly logs, draws a period on one page and ranks a
fleet's terminals by what needs a visit.")
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

# include(CPack) leaves CPACK_PACKAGE_FILE_NAME holding the source package's
# name, so the binary package's name is kept for the tests here.
set(HAILWATCH_PACKAGE_FILE_NAME ${CPACK_PACKAGE_FILE_NAME})
include(CPack)
