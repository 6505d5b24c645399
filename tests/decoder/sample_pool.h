// Media samples for the decode filter's queues, taken from a real framework
// allocator as an upstream pin would take them and filled with bytes.
#ifndef ORVEX_TESTS_DECODER_SAMPLE_POOL_H
#define ORVEX_TESTS_DECODER_SAMPLE_POOL_H

#include "length_prefixed.h"

#include <streams.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace wrapper_test {

struct ComRelease {
    void operator()(IUnknown *p) const
    {
        if (p) p->Release();
    }
};
using SamplePtr = std::unique_ptr<IMediaSample, ComRelease>;

// A committed CMemAllocator of `count` buffers of `size` bytes.
class SamplePool {
public:
    SamplePool(LONG count, LONG size);
    ~SamplePool();
    SamplePool(const SamplePool &) = delete;
    SamplePool &operator=(const SamplePool &) = delete;

    // A sample holding the bytes (waits for a free buffer like an upstream
    // pin). Fails the test when the bytes do not fit.
    SamplePtr Make(const std::vector<uint8_t> &bytes);

    // Buffers not handed out (all of them when nothing holds a sample).
    LONG FreeCount();

private:
    std::unique_ptr<IMemAllocator, ComRelease> m_allocator;
    LONG m_size;
};

} // namespace wrapper_test

#endif
