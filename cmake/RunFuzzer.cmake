# Runs one libFuzzer target for a bounded time from a fresh copy of its seed corpus.
# Fails when the fuzzer reports a crash, a sanitizer finding or a leak.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
if(SEED AND EXISTS ${SEED})
  file(GLOB seeds ${SEED}/*)
  if(seeds)
    file(COPY ${seeds} DESTINATION ${WORK})
  endif()
endif()
execute_process(
  COMMAND ${FUZZER} -max_total_time=${SECONDS} -seed=1 -timeout=10 -rss_limit_mb=2048
          -print_final_stats=1 -artifact_prefix=${WORK}/../ ${WORK}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "fuzzer ${FUZZER} failed (exit ${rc})")
endif()
