# Debian's hardening flags, as dpkg-buildflags gives them with every hardening feature on:
# fortified C library calls (_FORTIFY_SOURCE), stack protection, format checks, and relocations
# that are read-only and bound at start (relro, BIND_NOW). The build type keeps its own
# optimisation and debug information. Sanitized and unoptimised builds go without: fortified
# calls need optimisation and get in the sanitizers' way.
option(VANTREL_HARDENING "Build with Debian's hardening flags (dpkg-buildflags)" ON)

find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT VANTREL_HARDENING OR VANTREL_SANITIZE OR VANTREL_FUZZ OR CMAKE_BUILD_TYPE STREQUAL "Debug")
    return()
endif()
if(NOT DPKG_BUILDFLAGS)
    message(STATUS "dpkg-buildflags not found: building without Debian's hardening flags")
    return()
endif()

function(vantrel_debian_flags kind result)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env
                "DEB_BUILD_MAINT_OPTIONS=hardening=+all reproducible=-fixfilepath,-fixdebugpath"
                ${DPKG_BUILDFLAGS} --get ${kind}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^-(g|O.*)$")
    set(${result} ${flags} PARENT_SCOPE)
endfunction()

vantrel_debian_flags(CPPFLAGS preprocessor_flags)
vantrel_debian_flags(CXXFLAGS compiler_flags)
vantrel_debian_flags(LDFLAGS linker_flags)
add_compile_options(${preprocessor_flags} ${compiler_flags})
add_link_options(${linker_flags})
