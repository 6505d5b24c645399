# Loading synthetic movies of 10k, 100k and 1M video samples into stream
# infos, and the index walk with the cursor lookup against the per-call one.
orvex_add_bench(NAME streaminfo
  SOURCES bench_streaminfo.cpp
  LIBS orvex_streaminfo orvex_test_support)
target_compile_definitions(bench_streaminfo PRIVATE ORVEX_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data")
