# Runs one fuzz target for a bounded time over a working copy of its seed
# corpus.
#
#   cmake -DFUZZER=<binary> -DSEEDS=<seed folder> -DWORK=<working folder>
#         -DDICTIONARY=<file> -DSECONDS=<n> [-DFRESH=ON] -P run_fuzzer.cmake
#
# The seeds are copied into WORK/corpus, which libFuzzer then grows; with
# FRESH the working folder is emptied first, so that every run starts from the
# seeds alone. Inputs that break a property or crash are kept in
# WORK/artifacts. Fails when the target does.

foreach(required FUZZER SEEDS WORK DICTIONARY SECONDS)
    if(NOT DEFINED ${required})
        message(FATAL_ERROR "run_fuzzer.cmake: ${required} is not set")
    endif()
endforeach()

# libFuzzer's limits for one input and for the whole process.
set(INPUT_TIMEOUT_SECONDS 10)
set(RSS_LIMIT_MB 1024)

if(FRESH)
    file(REMOVE_RECURSE ${WORK})
endif()
file(MAKE_DIRECTORY ${WORK}/corpus ${WORK}/artifacts)
file(GLOB seeds ${SEEDS}/*)
file(COPY ${seeds} DESTINATION ${WORK}/corpus)

execute_process(
    COMMAND ${FUZZER}
        -max_total_time=${SECONDS}
        -timeout=${INPUT_TIMEOUT_SECONDS}
        -rss_limit_mb=${RSS_LIMIT_MB}
        -dict=${DICTIONARY}
        -artifact_prefix=${WORK}/artifacts/
        -print_final_stats=1
        ${WORK}/corpus
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    file(GLOB kept ${WORK}/artifacts/*)
    message(FATAL_ERROR "${FUZZER} failed (${result}); inputs kept: ${kept}")
endif()
