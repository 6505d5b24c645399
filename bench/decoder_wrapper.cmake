# The decode filter's path (queues, decoder wrapper, output thread) against a
# plain libavcodec loop with the same number of frame threads, on the
# 1280x720 Baseline movie that scripts/bench makes.
orvex_add_bench(NAME decoder_wrapper
  SOURCES
    bench_decoder_wrapper.cpp
    movie_stream.cpp
  LIBS orvex_decoder orvex_declib_core)
target_compile_definitions(bench_decoder_wrapper PRIVATE
  ORVEX_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
  ORVEX_BENCH_DEFAULT_DATA="${CMAKE_BINARY_DIR}/bench-data")
target_include_directories(bench_decoder_wrapper PRIVATE ${PROJECT_SOURCE_DIR}/OrvexIPPH264DecLib/src)
