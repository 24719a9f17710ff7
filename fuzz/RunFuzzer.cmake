# One bounded fuzzing run for CTest:
#   cmake -DFUZZER=<binary> -DWORK=<folder> -DCORPORA=<folders> -DRUNS=<n>
#         -DSECONDS=<n> [-DOPTIONS=<libFuzzer options>] -P RunFuzzer.cmake
# Starts from an empty working corpus and a fixed random seed and tries RUNS
# inputs, so a run repeats the same inputs in the same order on every machine;
# SECONDS only stops a slow machine early. A failure leaves the input in
# <folder>/artifacts.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus ${WORK}/artifacts)

# The starting inputs are named one by one in the order of their names: given
# as folders, inputs of equal size would start in the order the file system
# lists them, which differs from machine to machine.
set(seeds)
foreach(corpus IN LISTS CORPORA)
    file(GLOB inputs LIST_DIRECTORIES false ${corpus}/*)
    list(APPEND seeds ${inputs})
endforeach()
list(JOIN seeds "," seeds)
file(WRITE ${WORK}/seeds ${seeds})

execute_process(
    COMMAND ${FUZZER} -seed=1 -runs=${RUNS} -max_total_time=${SECONDS} -timeout=30
            -print_final_stats=1 -artifact_prefix=${WORK}/artifacts/ -seed_inputs=@${WORK}/seeds
            ${OPTIONS} ${WORK}/corpus
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    file(GLOB found ${WORK}/artifacts/*)
    message(FATAL_ERROR "The fuzzer failed (${result}) on: ${found}\n"
                        "Keep the input as a regression: copy it into fuzz/regressions/<target>/.")
endif()
