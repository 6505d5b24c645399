// Pin and filter questions, and the downstream-first order.
#include "pin_helpers.h"

#include <vfwmsgs.h>

#include <algorithm>
#include <functional>
#include <set>

namespace orvex::graph {

std::vector<ComPtr<IPin>> FilterPins(IBaseFilter *filter)
{
    std::vector<ComPtr<IPin>> pins;
    ComPtr<IEnumPins> pinEnum;
    if (!filter || FAILED(filter->EnumPins(&pinEnum)) || !pinEnum) return pins;
    // A filter whose pins change while we look starts the list over.
    for (int attempt = 0; attempt < 4; ++attempt) {
        pins.clear();
        HRESULT hr;
        for (;;) {
            ComPtr<IPin> pin;
            ULONG fetched = 0;
            hr = pinEnum->Next(1, &pin, &fetched);
            if (hr != S_OK || fetched != 1 || !pin) break;
            pins.push_back(std::move(pin));
        }
        if (hr != VFW_E_ENUM_OUT_OF_SYNC) break;
        pinEnum->Reset();
    }
    return pins;
}

std::vector<ComPtr<IPin>> FilterPins(IBaseFilter *filter, PIN_DIRECTION direction)
{
    std::vector<ComPtr<IPin>> pins = FilterPins(filter);
    std::erase_if(pins, [direction](const ComPtr<IPin> &pin) {
        PIN_DIRECTION d;
        return !PinDirection(pin.Get(), d) || d != direction;
    });
    return pins;
}

bool PinDirection(IPin *pin, PIN_DIRECTION &direction)
{
    return pin && SUCCEEDED(pin->QueryDirection(&direction));
}

ComPtr<IBaseFilter> PinFilter(IPin *pin)
{
    PIN_INFO info{};
    if (!pin || FAILED(pin->QueryPinInfo(&info))) return {};
    ComPtr<IBaseFilter> filter;
    filter.Attach(info.pFilter);
    return filter;
}

ComPtr<IPin> ConnectedPin(IPin *pin)
{
    ComPtr<IPin> peer;
    if (!pin || FAILED(pin->ConnectedTo(&peer))) return {};
    return peer;
}

std::vector<CMediaType> PinMediaTypes(IPin *pin)
{
    std::vector<CMediaType> types;
    ComPtr<IEnumMediaTypes> typeEnum;
    if (!pin || FAILED(pin->EnumMediaTypes(&typeEnum)) || !typeEnum) return types;
    // A pin cannot offer more types than this in any sensible graph.
    constexpr size_t kMaxTypes = 1024;
    while (types.size() < kMaxTypes) {
        AM_MEDIA_TYPE *type = nullptr;
        ULONG fetched = 0;
        HRESULT hr = typeEnum->Next(1, &type, &fetched);
        if (hr != S_OK || fetched != 1 || !type) {
            if (type) DeleteMediaType(type);
            break;
        }
        types.emplace_back(*type);
        DeleteMediaType(type);
    }
    return types;
}

bool IsRenderer(IBaseFilter *filter)
{
    bool connectedInput = false, anyOutput = false;
    for (const ComPtr<IPin> &pin : FilterPins(filter)) {
        PIN_DIRECTION d;
        if (!PinDirection(pin.Get(), d)) continue;
        if (d == PINDIR_OUTPUT) anyOutput = true;
        if (d == PINDIR_INPUT && ConnectedPin(pin.Get())) connectedInput = true;
    }
    if (!connectedInput) return false;
    ComPtr<IAMFilterMiscFlags> flags;
    if (SUCCEEDED(filter->QueryInterface(IID_IAMFilterMiscFlags, &flags)) && flags &&
        (flags->GetMiscFlags() & AM_FILTER_MISC_FLAGS_IS_RENDERER)) {
        return true;
    }
    return !anyOutput;
}

std::vector<IBaseFilter *> DownstreamFirst(const std::vector<IBaseFilter *> &filters)
{
    std::vector<IBaseFilter *> order;
    std::set<IBaseFilter *> visited;
    // Filters are compared by the pointer the graph holds; a pin's filter is
    // matched to it by its identity.
    auto inGraph = [&](IBaseFilter *candidate) -> IBaseFilter * {
        ComPtr<IUnknown> id;
        if (FAILED(candidate->QueryInterface(IID_IUnknown, &id))) return nullptr;
        for (IBaseFilter *f : filters) {
            ComPtr<IUnknown> other;
            if (SUCCEEDED(f->QueryInterface(IID_IUnknown, &other)) && other.Get() == id.Get()) return f;
        }
        return nullptr;
    };
    std::function<void(IBaseFilter *)> visit = [&](IBaseFilter *f) {
        if (!visited.insert(f).second) return;
        for (const ComPtr<IPin> &out : FilterPins(f, PINDIR_OUTPUT)) {
            ComPtr<IPin> peer = ConnectedPin(out.Get());
            ComPtr<IBaseFilter> downstream = PinFilter(peer.Get());
            if (!downstream) continue;
            if (IBaseFilter *member = inGraph(downstream.Get())) visit(member);
        }
        order.push_back(f);
    };
    for (IBaseFilter *f : filters)
        visit(f);
    return order;
}

} // namespace orvex::graph
