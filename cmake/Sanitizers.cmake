# Sanitized builds, each in a build folder of its own:
#   VANTREL_SANITIZE=address,undefined  AddressSanitizer and UndefinedBehaviorSanitizer
#   VANTREL_SANITIZE=thread             ThreadSanitizer
#   VANTREL_FUZZ=ON                     also the libFuzzer targets of fuzz/ (clang, with the first)
# A sanitizer report ends the program with a failure (undefined behaviour does not recover), so
# the test that provoked it fails. Optimised lightly, with line tables for readable reports.
set(VANTREL_SANITIZE "" CACHE STRING "Sanitizers to build with: address,undefined or thread")
option(VANTREL_FUZZ "Build the libFuzzer targets of fuzz/ (needs clang)" OFF)

if(VANTREL_SANITIZE)
    set(sanitize_flags -fsanitize=${VANTREL_SANITIZE} -fno-sanitize-recover=all
        -fno-omit-frame-pointer)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        set(line_tables -gline-tables-only)
    else()
        set(line_tables -g1)
    endif()
    add_compile_options(${sanitize_flags} -O1 ${line_tables})
    add_link_options(${sanitize_flags})
endif()

if(VANTREL_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "VANTREL_FUZZ needs clang: configure with CXX=clang++-14 CC=clang-14")
    endif()
    # Coverage for the fuzzers' guidance in every library they reach; only the fuzz targets
    # themselves link libFuzzer's main.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
