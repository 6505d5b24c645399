// Control helpers of the base classes: seeking passed through upstream.
#pragma once

#include "posthru.h"
