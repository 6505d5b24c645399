// The decode filter tests still name this header; TempRegistry lives in tests/support.
#pragma once

#include "support/scratch.h"
