# The QuickTime reading layer: a file image through the top-level scans, the
# movie model, the camera-or-plain walk and every question the layer answers
# (tests/quicktime/movie_exerciser.cpp, shared with the robustness tests).
# Seeds in corpus/quicktime: the movies of tests/data/movies with their media
# data left out ('mdat' kept as an empty atom), and one of them with the
# camera tag added to its movie atom.
orvex_add_fuzzer(NAME quicktime
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_quicktime.cpp ${PROJECT_SOURCE_DIR}/tests/quicktime/movie_exerciser.cpp
  LIBS orvex_quicktime)
target_include_directories(fuzz_quicktime PRIVATE ${PROJECT_SOURCE_DIR}/tests/quicktime)
