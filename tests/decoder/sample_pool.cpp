#include "sample_pool.h"

#include <gtest/gtest.h>

#include <cstring>

namespace wrapper_test {

namespace {

template <class T> std::unique_ptr<T, ComRelease> Query(IUnknown *p, REFIID iid)
{
    void *out = nullptr;
    EXPECT_EQ(p->QueryInterface(iid, &out), S_OK);
    return std::unique_ptr<T, ComRelease>(static_cast<T *>(out));
}

} // namespace

SamplePool::SamplePool(LONG count, LONG size) : m_size(size)
{
    IMemAllocator *allocator = nullptr;
    EXPECT_EQ(CreateMemoryAllocator(&allocator), S_OK);
    m_allocator.reset(allocator);
    ALLOCATOR_PROPERTIES request{count, size, 1, 0};
    ALLOCATOR_PROPERTIES actual{};
    EXPECT_EQ(m_allocator->SetProperties(&request, &actual), S_OK);
    m_size = actual.cbBuffer;
    EXPECT_EQ(m_allocator->Commit(), S_OK);
}

SamplePool::~SamplePool()
{
    m_allocator->Decommit();
}

SamplePtr SamplePool::Make(const SampleFields &fields)
{
    IMediaSample *pSample = nullptr;
    EXPECT_EQ(m_allocator->GetBuffer(&pSample, nullptr, nullptr, 0), S_OK);
    SamplePtr sample(pSample);
    EXPECT_LE(fields.bytes.size(), static_cast<size_t>(m_size)) << "sample larger than the pool's buffers";
    if (!sample || fields.bytes.size() > static_cast<size_t>(m_size)) return nullptr;

    BYTE *pBuffer = nullptr;
    EXPECT_EQ(sample->GetPointer(&pBuffer), S_OK);
    if (!fields.bytes.empty()) std::memcpy(pBuffer, fields.bytes.data(), fields.bytes.size());
    EXPECT_EQ(sample->SetActualDataLength(static_cast<LONG>(fields.bytes.size())), S_OK);
    REFERENCE_TIME start = fields.start.value_or(0), stop = fields.stop.value_or(0);
    if (fields.start) sample->SetTime(&start, fields.stop ? &stop : nullptr);
    LONGLONG mediaTime = fields.mediaStart.value_or(0);
    if (fields.mediaStart) sample->SetMediaTime(&mediaTime, &mediaTime);

    const auto sample2 = Query<IMediaSample2>(sample.get(), IID_IMediaSample2);
    AM_SAMPLE2_PROPERTIES props{};
    EXPECT_EQ(sample2->GetProperties(sizeof(props), reinterpret_cast<BYTE *>(&props)), S_OK);
    props.dwStreamId = fields.streamId;
    EXPECT_EQ(sample2->SetProperties(sizeof(props), reinterpret_cast<const BYTE *>(&props)), S_OK);
    return sample;
}

SamplePtr SamplePool::Make(const std::vector<uint8_t> &bytes, DWORD streamId)
{
    return Make(SampleFields{.bytes = bytes, .streamId = streamId});
}

LONG SamplePool::FreeCount()
{
    LONG free = -1;
    Query<IMemAllocatorCallbackTemp>(m_allocator.get(), IID_IMemAllocatorCallbackTemp)->GetFreeCount(&free);
    return free;
}

ULONG RefCount(IUnknown *p)
{
    p->AddRef();
    return p->Release();
}

} // namespace wrapper_test
