# One bounded fuzzing run for CTest:
#   cmake -DFUZZER=<binary> -DWORK=<folder> -DCORPORA=<folders> -DSECONDS=<n>
#         [-DOPTIONS=<libFuzzer options>] -P RunFuzzer.cmake
# Starts from an empty working corpus and a fixed random seed, so a run
# repeats the same inputs in the same order; a failure leaves the input in
# <folder>/artifacts.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus ${WORK}/artifacts)
execute_process(
    COMMAND ${FUZZER} -seed=1 -max_total_time=${SECONDS} -timeout=30 -print_final_stats=1
            -artifact_prefix=${WORK}/artifacts/ ${OPTIONS} ${WORK}/corpus ${CORPORA}
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    file(GLOB found ${WORK}/artifacts/*)
    message(FATAL_ERROR "The fuzzer failed (${result}) on: ${found}\n"
                        "Keep the input as a regression: copy it into fuzz/regressions/<target>/.")
endif()
