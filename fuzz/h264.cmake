# The AVC configuration record parser and, through it, the SPS, VUI and PPS
# parsers and the picture rectangle and signal lookups. The seeds are the avcC
# atoms of the x264 encodes in tests/data/parameter_sets.
orvex_add_fuzzer(NAME avc_configuration SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_avc_configuration.cpp LIBS orvex_h264syntax)
