# The release archive of the Windows build: cmake --build --preset windows --target package
# makes qxlm-<version>-win64.zip with the DLL, the programs and the documents a person
# installing it needs. docs/INSTALL.txt lists the contents; a test holds the archive to
# that list.
# The binaries go without their DWARF debug information, which no Windows debugger
# reads; the DLL's import library stays out.
install(TARGETS qxlm qxlm-setup qxlm-ctl qxlm-demo
  RUNTIME DESTINATION .
  ARCHIVE DESTINATION lib EXCLUDE_FROM_ALL)
install(FILES docs/INSTALL.txt docs/qxlm-example.inf DESTINATION .)
install(FILES docs/driver-package.md docs/settings.md docs/pipe-protocol.md DESTINATION docs)
install(FILES contrib/prometheus/qxlm-alerts.yml contrib/prometheus/qxlm-alerts.test.yml DESTINATION contrib/prometheus)
install(FILES contrib/grafana/qxlm-dashboard.json DESTINATION contrib/grafana)
# The list qxlm-setup compares the DLL with, made from the archive's own (stripped) copy.
install(CODE [[
  file(SHA256 "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/qxlm.dll" hash)
  file(WRITE "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/SHA256SUMS" "${hash}  qxlm.dll
")
]])

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME qxlm)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME qxlm-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})
include(CPack)
