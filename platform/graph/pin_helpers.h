// Small questions the graph asks of filters and pins through their COM
// interfaces only, so that any filter will do.
#pragma once

#include <strmif.h>
#include <wrl/client.h>

#include <vector>

#include "mtype.h"

namespace orvex::graph {

using Microsoft::WRL::ComPtr;

// The filter's pins, in its order; with a direction, only those.
std::vector<ComPtr<IPin>> FilterPins(IBaseFilter *filter);
std::vector<ComPtr<IPin>> FilterPins(IBaseFilter *filter, PIN_DIRECTION direction);

bool PinDirection(IPin *pin, PIN_DIRECTION &direction);
// The filter the pin belongs to, or null.
ComPtr<IBaseFilter> PinFilter(IPin *pin);
// The pin connected to this one, or null.
ComPtr<IPin> ConnectedPin(IPin *pin);
// The types the pin offers, in its order.
std::vector<CMediaType> PinMediaTypes(IPin *pin);

// A filter the graph waits on for the end of the stream: it says so
// (AM_FILTER_MISC_FLAGS_IS_RENDERER), or it has inputs and no outputs at
// all; either way with at least one input connected.
bool IsRenderer(IBaseFilter *filter);

// The filters with every filter placed before the filters upstream of it:
// renderers first, sources last. Unconnected filters keep their order.
std::vector<IBaseFilter *> DownstreamFirst(const std::vector<IBaseFilter *> &filters);

} // namespace orvex::graph
