# The PC tools as engineers install them. In the build folder of any Linux
# preset, `cpack -G DEB` makes hailwatch-tools_VERSION_ARCH.deb (/usr/bin/
# hailpatch, /usr/bin/hailog and their manual pages, its dependencies read
# by dpkg-shlibdeps); in the 32-bit Windows one, `cpack -G ZIP` makes
# hailwatch-tools-VERSION-win32.zip (the tools' exes and a README.txt).
set(CPACK_PACKAGE_NAME hailwatch-tools)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Hailwatch")
set(CPACK_PACKAGE_CONTACT "Hailwatch engineers <engineers@hailwatch.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Hailwatch terminal tools: check, try and make update packages; read terminal logs")

if(WIN32)
  install(TARGETS hailpatch hailctl RUNTIME DESTINATION .)
  if(TARGET hailog)
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
