# Runs each fuzzer in DIR, SECONDS in all, and fails when one finds a fault. The limits make slow
# work a fault too: the readers and the finder are linear, so no input of up to 64 KiB may take a
# second, and no text may make the reading fill more than its bound (64 MiB).
set(fuzzers fuzz_hex_decode fuzz_forgiving_reader fuzz_picture_finder)
list(LENGTH fuzzers count)
math(EXPR each "${SECONDS} / ${count}")
foreach(fuzzer ${fuzzers})
    file(MAKE_DIRECTORY ${DIR}/corpus/${fuzzer})
    # Seeds kept with the sources (captures cut short, then begun again) start the search.
    set(seeds)
    if(IS_DIRECTORY ${SEEDS}/${fuzzer})
        set(seeds ${SEEDS}/${fuzzer})
    endif()
    execute_process(COMMAND ${DIR}/${fuzzer} -max_total_time=${each} -max_len=65536
                            -rss_limit_mb=512 -timeout=1 ${DIR}/corpus/${fuzzer} ${seeds}
                    RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${fuzzer} found a fault (${result})")
    endif()
endforeach()
