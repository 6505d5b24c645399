// The transform filter and its pins, as the SDK's transfrm.h gathers them.
#pragma once

#include "transformfilter.h"
#include "transforminputpin.h"
#include "transformoutputpin.h"
