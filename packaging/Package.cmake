# The Debian packages: `cpack -G DEB` in the build folder, after the build, makes
# vantrel_VERSION_amd64.deb (the server: no Qt) and vantrelsec_VERSION_amd64.deb (the dialog) from
# the install components of the same names, with the prefix /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL server)
if(TARGET vantrelsec)
    list(APPEND CPACK_COMPONENTS_ALL dialog)
endif()
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The packages' own revision: VERSION-REVISION (packaging/CMakeLists.txt).
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VANTREL_DEBIAN_REVISION})
set(CPACK_PACKAGE_CONTACT "Vantrel developers <packaging@vantrel-project.org>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_SERVER_PACKAGE_NAME vantrel)
set(CPACK_DEBIAN_SERVER_PACKAGE_SECTION web)
set(CPACK_DEBIAN_SERVER_DESCRIPTION "server-side zip-file manager for the web
A web page of four frames with which signed-in users browse the server's
folders and create, update, freshen, repair, test, list and extract zip
archives on the server, each with their own account's file rights, under
limits the administrator sets with vantrelsec. The web host runs as the
systemd service vantrel, on 127.0.0.1:8080 until /etc/vantrel/vantrel.conf
says otherwise.")
# The PAM service's stacks, and kill for the unit's reload; the libraries the programs link are
# found by dpkg-shlibdeps.
set(CPACK_DEBIAN_SERVER_PACKAGE_DEPENDS "libpam-runtime, procps")
set(CPACK_DEBIAN_SERVER_PACKAGE_SUGGESTS "vantrelsec, nginx, logrotate")
set(CPACK_DEBIAN_SERVER_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/postinst
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/prerm
    ${CMAKE_CURRENT_BINARY_DIR}/postrm
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/conffiles)

set(CPACK_DEBIAN_DIALOG_PACKAGE_NAME vantrelsec)
set(CPACK_DEBIAN_DIALOG_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_DIALOG_DESCRIPTION "settings dialog of the Vantrel zip-file manager
The administrator's dialog for the limits of the Vantrel web host: which
zip and unzip operations users may run, the folders they may work in, and
how long operations may wait and run. Over ssh the same settings are
listed and set from the terminal (vantrelsec --list, --set). Needs Qt 6
for the dialog only.")
# The settings it stores are those of the installed web host, whose place it finds beside it.
set(CPACK_DEBIAN_DIALOG_PACKAGE_DEPENDS "vantrel (= ${VANTREL_DEBIAN_VERSION})")

set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Installed into a staging root (DESTDIR) with the prefix /usr, so the files outside the prefix
# land in /etc.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
