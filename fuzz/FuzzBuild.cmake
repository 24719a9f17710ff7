# The fuzz build (TARNWELL_FUZZ): clang with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer; only the libraries that read outside input and
# the fuzz targets on them.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "The fuzz build needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                    -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)

add_subdirectory(platform)
add_subdirectory(core)
add_subdirectory(engine/audio)
add_subdirectory(tags)
# clang puts the sanitizer runtimes into the executable only, so the run-time
# libraries leave those symbols to it.
set_property(TARGET vcedit wmaudsdk PROPERTY LINK_OPTIONS "")
add_subdirectory(fuzz)
