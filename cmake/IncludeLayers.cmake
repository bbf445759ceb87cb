# The layers of the tree, checked on every build: a folder's code may include, of the component and
# the host, only what its target declares. A wrong include fails the build before anything of the
# folder compiles, naming the file and the header. Tests (*_test.cpp) may reach further.
#
#   vantrel_check_includes(target FOLDER component/policy ALLOWED component/core/ component/policy/)
#
# An allowed entry ending in "/" admits a folder's headers, any other one header by its path.

set(vantrel_include_check_script ${CMAKE_CURRENT_LIST_DIR}/CheckIncludes.cmake)

function(vantrel_check_includes target)
    cmake_parse_arguments(ARG "" "FOLDER" "ALLOWED" ${ARGN})
    file(GLOB files CONFIGURE_DEPENDS
        ${CMAKE_SOURCE_DIR}/${ARG_FOLDER}/*.h ${CMAKE_SOURCE_DIR}/${ARG_FOLDER}/*.cpp)
    list(FILTER files EXCLUDE REGEX "_test\\.cpp$")
    string(REPLACE ";" "," allowed "${ARG_ALLOWED}")
    set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}_includes.stamp)
    add_custom_command(OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} -DFOLDER=${ARG_FOLDER} -DALLOWED=${allowed}
            -DROOT=${CMAKE_SOURCE_DIR} -DSTAMP=${stamp} -P ${vantrel_include_check_script}
        DEPENDS ${files} ${vantrel_include_check_script}
        COMMENT "Checking the includes of ${ARG_FOLDER}" VERBATIM)
    add_custom_target(${target}_includes DEPENDS ${stamp})
    add_dependencies(${target} ${target}_includes)
endfunction()
