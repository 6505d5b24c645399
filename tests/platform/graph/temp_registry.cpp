// Kept only while the decode filter tests' build lists this file; TempRegistry
// lives in tests/support/scratch.cpp.
