# The extra builds ./test.sh makes beside the normal one: the core tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, and libFuzzer targets.
option(TAVISTREL_GUI "Build the windows (Qt Widgets, Qt WebEngine)" ON)
option(TAVISTREL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(TAVISTREL_FUZZ "Build the libFuzzer targets in tests/fuzz (clang only)" OFF)

if(TAVISTREL_SANITIZE)
    # Any undefined behaviour ends the program, so a test cannot pass over it.
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

if(TAVISTREL_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "TAVISTREL_FUZZ needs clang (libFuzzer)")
    endif()
    # Coverage for everything; only the fuzz targets link libFuzzer's main.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
