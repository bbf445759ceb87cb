# The Debian package: `cpack -G DEB` in the build folder, after the build, makes
# vantrel_VERSION_amd64.deb from the install rules, with the prefix /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Vantrel developers <developers@vantrel.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "server-side zip-file manager for the web")
set(CPACK_PACKAGE_DESCRIPTION
    "A web page of four frames with which signed-in users browse the server's\n\
folders and create, update, freshen, repair, test, list and extract zip\n\
archives on the server, each with their own account's file rights, under\n\
limits the administrator sets with vantrelsec. The web host runs as the\n\
systemd service vantrel, on 127.0.0.1:8080 until /etc/vantrel/vantrel.conf\n\
says otherwise.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link, found by dpkg-shlibdeps; the PAM service's stacks.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libpam-runtime")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "nginx, logrotate")
# Installed into a staging root (DESTDIR) with the prefix /usr, so the files outside the prefix
# land in /etc.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/postinst
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/prerm
    ${CMAKE_CURRENT_BINARY_DIR}/postrm
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/conffiles)
include(CPack)
