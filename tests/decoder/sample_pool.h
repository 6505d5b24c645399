// Media samples for the decode filter's queues, taken from a real framework
// allocator as an upstream pin would take them: filled with bytes, stamped
// with times and a stream identifier.
#ifndef ORVEX_TESTS_DECODER_SAMPLE_POOL_H
#define ORVEX_TESTS_DECODER_SAMPLE_POOL_H

#include "length_prefixed.h"

#include <streams.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace wrapper_test {

struct ComRelease {
    void operator()(IUnknown *p) const
    {
        if (p) p->Release();
    }
};
using SamplePtr = std::unique_ptr<IMediaSample, ComRelease>;

inline constexpr DWORD kSpsStreamId = 0x80000000;
inline constexpr DWORD kPpsStreamId = 0x80000001;

struct SampleFields {
    std::vector<uint8_t> bytes{};
    std::optional<REFERENCE_TIME> start{}, stop{};
    std::optional<LONGLONG> mediaStart{}; // the media stop is the same
    DWORD streamId = 0;
};

// A committed CMemAllocator of `count` buffers of `size` bytes.
class SamplePool {
public:
    SamplePool(LONG count, LONG size);
    ~SamplePool();
    SamplePool(const SamplePool &) = delete;
    SamplePool &operator=(const SamplePool &) = delete;

    // A sample holding fields's bytes (waits for a free buffer like an upstream
    // pin). Fails the test when the bytes do not fit.
    SamplePtr Make(const SampleFields &fields);
    SamplePtr Make(const std::vector<uint8_t> &bytes, DWORD streamId = 0);

    // Buffers not handed out (all of them when nothing holds a sample).
    LONG FreeCount();

private:
    std::unique_ptr<IMemAllocator, ComRelease> m_allocator;
    LONG m_size;
};

// The reference count of a COM object (AddRef, then Release).
ULONG RefCount(IUnknown *p);

} // namespace wrapper_test

#endif
