# Fuzzing tree (clang): the transactions fed with the fuzzer's bytes as the reader's answers.
add_executable(transactions_fuzz tests/fuzz/transactions_fuzz.cpp tests/native/recording_link.cpp)
target_link_libraries(transactions_fuzz PRIVATE reader_core reader_model)
target_link_options(transactions_fuzz PRIVATE -fsanitize=fuzzer)

set(FUZZ_SECONDS 30 CACHE STRING "how long the fuzzing test runs")
set(FUZZ_CORPUS ${CMAKE_BINARY_DIR}/corpus)
file(MAKE_DIRECTORY ${FUZZ_CORPUS})
add_test(NAME fuzz_transactions
  COMMAND transactions_fuzz -max_total_time=${FUZZ_SECONDS} -print_final_stats=1
          -artifact_prefix=${CMAKE_BINARY_DIR}/ ${FUZZ_CORPUS})
set_tests_properties(fuzz_transactions PROPERTIES TIMEOUT 300)
