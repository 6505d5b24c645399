# The decoder library against a plain libavcodec loop on the same access
# units with the same number of frame threads. Movies: scripts/bench.
orvex_add_bench(NAME declib
  SOURCES bench_declib.cpp ${PROJECT_SOURCE_DIR}/tests/decoder/declib_harness.cpp
  LIBS OrvexIPPH264DecLib orvex_declib_core orvex_test_support)
target_compile_definitions(bench_declib PRIVATE
  ORVEX_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
  ORVEX_BENCH_DEFAULT_DATA="${CMAKE_BINARY_DIR}/bench-data")
target_include_directories(bench_declib PRIVATE ${PROJECT_SOURCE_DIR}/OrvexIPPH264DecLib/src)
