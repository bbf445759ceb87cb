# Runs when installing: places the configuration, the PAM service, the logrotate file and the
# systemd unit. With the prefix /usr they go where the system keeps them (/etc, /var); with any
# other prefix below it, so that an installation into a folder of its own stays inside it. DESTDIR
# (as cpack uses it) is honoured by file(INSTALL).
set(source "${VANTREL_PACKAGING_DIR}")
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(ETC /etc)
    set(LOGDIR /var/log/vantrel)
else()
    set(ETC "${CMAKE_INSTALL_PREFIX}/etc")
    set(LOGDIR "${CMAKE_INSTALL_PREFIX}/var/log/vantrel")
endif()
set(PREFIX "${CMAKE_INSTALL_PREFIX}")

# An administrator's configuration is never replaced; the package's example stays in
# share/vantrel for comparison.
foreach(pair "vantrel.conf|vantrel" "../host/pam.d/vantrel|pam.d")
    string(REPLACE "|" ";" pair "${pair}")
    list(GET pair 0 file)
    list(GET pair 1 folder)
    get_filename_component(name "${file}" NAME)
    if(EXISTS "$ENV{DESTDIR}${ETC}/${folder}/${name}")
        message(STATUS "Keeping: $ENV{DESTDIR}${ETC}/${folder}/${name}")
    else()
        file(INSTALL "${source}/${file}" DESTINATION "${ETC}/${folder}")
    endif()
endforeach()

# The unit and the logrotate file name the places of this installation.
# A folder of its own for each destination: installations may run side by side (the tests).
string(MD5 destination "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(made "${VANTREL_PACKAGED_DIR}/system-files/${destination}")
configure_file("${source}/vantrel.service.in" "${made}/vantrel.service" @ONLY)
configure_file("${source}/vantrel.logrotate.in" "${made}/logrotate.d/vantrel" @ONLY)
file(INSTALL "${made}/logrotate.d/vantrel" DESTINATION "${ETC}/logrotate.d")
file(INSTALL "${made}/vantrel.service" DESTINATION "${CMAKE_INSTALL_PREFIX}/lib/systemd/system")
