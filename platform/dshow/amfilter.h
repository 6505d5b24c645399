// The filter and pin base classes, as the SDK's amfilter.h gathers them.
#pragma once

#include "allocator.h"
#include "basefilter.h"
#include "basepin.h"
#include "enummediatypes.h"
#include "enumpins.h"
#include "inputpin.h"
#include "mediasample.h"
#include "memallocator.h"
#include "outputpin.h"
