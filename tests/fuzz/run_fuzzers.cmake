# Runs each fuzzer in DIR for SECONDS; fails when one finds a fault, or an input that takes more
# than ten seconds (the readers are linear: none should take a millisecond).
foreach(fuzzer fuzz_hex_decode fuzz_forgiving_reader)
    file(MAKE_DIRECTORY ${DIR}/corpus/${fuzzer})
    execute_process(COMMAND ${DIR}/${fuzzer} -max_total_time=${SECONDS} -max_len=20000
                            -rss_limit_mb=1024 -timeout=10 ${DIR}/corpus/${fuzzer}
                    RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${fuzzer} found a fault (${result})")
    endif()
endforeach()
