# The fuzz targets under CTest (label "fuzz"). They are built with clang by a
# build of their own in <build>/fuzz (TARNWELL_FUZZ, see FuzzBuild.cmake),
# made part of this build, so `cmake --build` and `ctest` need nothing else.
# Each target has two tests: its regression inputs replayed
# (fuzz_<target>_regressions) and a short fuzzing run from its generated
# seeds (fuzz_<target>).
option(TARNWELL_FUZZ_TESTS "Build the fuzz targets with clang and run them as tests" ON)
set(TARNWELL_FUZZ_SECONDS 90 CACHE STRING "The longest a fuzz test may fuzz")
if(NOT TARNWELL_FUZZ_TESTS)
    return()
endif()

find_program(TARNWELL_CLANG clang)
find_program(TARNWELL_CLANGXX clang++)
if(NOT TARNWELL_CLANG OR NOT TARNWELL_CLANGXX)
    message(WARNING "clang not found: the fuzz tests are left out (./setup.sh installs clang)")
    return()
endif()
# Checked until it works, so installing clang later needs no fresh build folder.
if(NOT TARNWELL_LIBFUZZER_WORKS)
    set(check ${CMAKE_BINARY_DIR}/fuzz-check)
    file(WRITE ${check}/check.cpp
        "#include <cstddef>\n#include <cstdint>\n"
        "extern \"C\" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) { return 0; }\n")
    execute_process(
        COMMAND ${TARNWELL_CLANGXX} -fsanitize=fuzzer,address,undefined check.cpp -o check
        WORKING_DIRECTORY ${check} RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
    if(result EQUAL 0)
        set(TARNWELL_LIBFUZZER_WORKS ON CACHE INTERNAL "clang links libFuzzer")
    endif()
endif()
if(NOT TARNWELL_LIBFUZZER_WORKS)
    message(WARNING "clang cannot link libFuzzer: the fuzz tests are left out "
                    "(./setup.sh installs libclang-rt-14-dev)")
    return()
endif()

include(ExternalProject)
set(fuzz_build ${CMAKE_BINARY_DIR}/fuzz)
ExternalProject_Add(tarnwell_fuzz
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${fuzz_build}
    PREFIX ${CMAKE_BINARY_DIR}/fuzz-prefix
    CMAKE_ARGS
        -DTARNWELL_FUZZ=ON
        -DCMAKE_BUILD_TYPE=RelWithDebInfo
        -DCMAKE_C_COMPILER=${TARNWELL_CLANG}
        -DCMAKE_CXX_COMPILER=${TARNWELL_CLANGXX}
        -DCMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER}
        -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER}
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON)

# Per target: extra libFuzzer options. Reading audio must stay small whatever
# a file claims, so no single allocation may exceed 512 MB there.
set(fuzz_targets comment_block comment_roundtrip audio_reader settings_file sheet tag_rewrite)
set(fuzz_options_audio_reader -malloc_limit_mb=512)
# TagLib takes some seconds of the sanitizers' time on a few damaged ASF
# headers; on a machine busy with other work that passes the usual limit.
set(fuzz_options_tag_rewrite -timeout=120)
# Per target: how many inputs a short run tries, about 30 seconds each on a
# busy 2-core machine. A run is a fixed sequence of inputs (fixed seed, fixed
# count, Qt's hashing unseeded), so every machine tries the inputs a developer
# has already tried; a slower one stops at the time limit, part way through the
# same sequence. A time-bound run would try other inputs on every machine and
# could fail on one that nobody has seen.
set(fuzz_runs_comment_block 15000)
set(fuzz_runs_comment_roundtrip 30000)
set(fuzz_runs_audio_reader 3000)
set(fuzz_runs_settings_file 15000)
set(fuzz_runs_sheet 30000)
set(fuzz_runs_tag_rewrite 3000)
foreach(target IN LISTS fuzz_targets)
    set(binary ${fuzz_build}/bin/${target}_fuzzer)
    set(regressions ${CMAKE_SOURCE_DIR}/fuzz/regressions/${target})
    add_test(NAME fuzz_${target}_regressions
        COMMAND ${binary} -runs=0 -timeout=30 ${fuzz_options_${target}} ${regressions})
    add_test(NAME fuzz_${target}
        COMMAND ${CMAKE_COMMAND}
            -DFUZZER=${binary}
            -DWORK=${fuzz_build}/runs/${target}
            "-DCORPORA=${fuzz_build}/seeds/${target};${regressions}"
            -DSECONDS=${TARNWELL_FUZZ_SECONDS}
            -DRUNS=${fuzz_runs_${target}}
            "-DOPTIONS=${fuzz_options_${target}}"
            -P ${CMAKE_SOURCE_DIR}/fuzz/RunFuzzer.cmake)
    set_tests_properties(fuzz_${target}_regressions fuzz_${target} PROPERTIES
        LABELS fuzz TIMEOUT 600 ENVIRONMENT QT_HASH_SEED=0)
endforeach()
