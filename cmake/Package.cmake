# The Debian package (scripts/package.sh builds it): what `cmake --install`
# puts in place, under /usr and /etc. Its dependencies are those of the shared
# libraries the program links (dpkg-shlibdeps) and those on what it runs or
# loads at run time: lp, the drop volume's tools, xdg-open, the SVG plugin
# that draws its tray icon and the TIFF plugin that writes a copied page.
set(DRAVELO_PACKAGE_MAINTAINER "Dravelo developers <dravelo@example.org>" CACHE STRING
    "The package's maintainer, as Name <address>")

# The package's own documents: its copyright and its (compressed) changelog,
# dated (RFC 5322, as Debian wants it) on the day of the release.
set(package_docs ${CMAKE_BINARY_DIR}/package-files)
execute_process(
    COMMAND date -u -R -d "${DRAVELO_RELEASE_DAY} 06:00"
    OUTPUT_VARIABLE DRAVELO_RELEASE_DATE
    OUTPUT_STRIP_TRAILING_WHITESPACE
    COMMAND_ERROR_IS_FATAL ANY)
configure_file(${PROJECT_SOURCE_DIR}/resources/package/changelog.in ${package_docs}/changelog @ONLY)
execute_process(
    COMMAND gzip -n -9 -c ${package_docs}/changelog
    OUTPUT_FILE ${package_docs}/changelog.gz
    COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${PROJECT_SOURCE_DIR}/resources/package/copyright ${package_docs}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/dravelo)
install(FILES ${PROJECT_SOURCE_DIR}/resources/package/lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME dravelo)

# Files under /etc are the administrator's to edit: dpkg keeps their edits.
# The maintainer scripts take the autostart entry of its former name away.
file(WRITE ${package_docs}/conffiles "${DRAVELO_AUTOSTART_DIR}/com.dravelo.client.desktop\n")
set(package_control ${package_docs}/conffiles)
foreach(script preinst postinst postrm)
    configure_file(${PROJECT_SOURCE_DIR}/resources/package/maintscript.in ${package_docs}/${script} @ONLY)
    list(APPEND package_control ${package_docs}/${script})
endforeach()

# The package holds the program alone: building it (scripts/package.sh builds
# the dravelo target) need not wait for the tests and benchmarks.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dravelo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${DRAVELO_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "prints what you print in a remote desktop session")
set(CPACK_PACKAGE_DESCRIPTION
    "The Dravelo print service sends each job printed in a remote desktop session
to this client, which prints it with lp, opens it in the desktop's PDF viewer
or shows it in a window of its own. The client runs in the system tray and
starts at login.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "cups-client, e2fsprogs, fuse2fs, fuse3, libqt6svg6, qt6-image-formats-plugins, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${package_control})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
