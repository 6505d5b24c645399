#include "sample_pool.h"

#include <gtest/gtest.h>

#include <cstring>

namespace wrapper_test {

SamplePool::SamplePool(LONG count, LONG size) : m_count(count), m_size(size)
{
    EXPECT_EQ(CreateMemoryAllocator(&m_pAllocator), S_OK);
    ALLOCATOR_PROPERTIES request{count, size, 1, 0};
    ALLOCATOR_PROPERTIES actual{};
    EXPECT_EQ(m_pAllocator->SetProperties(&request, &actual), S_OK);
    m_size = actual.cbBuffer;
    EXPECT_EQ(m_pAllocator->Commit(), S_OK);
}

SamplePool::~SamplePool()
{
    m_pAllocator->Decommit();
    m_pAllocator->Release();
}

SamplePtr SamplePool::Make(const SampleFields &fields)
{
    IMediaSample *pSample = nullptr;
    EXPECT_EQ(m_pAllocator->GetBuffer(&pSample, nullptr, nullptr, 0), S_OK);
    if (!pSample) return nullptr;
    SamplePtr sample(pSample);
    EXPECT_LE(fields.bytes.size(), static_cast<size_t>(m_size)) << "sample larger than the pool's buffers";
    if (fields.bytes.size() > static_cast<size_t>(m_size)) return nullptr;

    BYTE *pBuffer = nullptr;
    EXPECT_EQ(sample->GetPointer(&pBuffer), S_OK);
    if (!fields.bytes.empty()) std::memcpy(pBuffer, fields.bytes.data(), fields.bytes.size());
    EXPECT_EQ(sample->SetActualDataLength(static_cast<LONG>(fields.bytes.size())), S_OK);

    if (fields.start) {
        REFERENCE_TIME start = *fields.start;
        REFERENCE_TIME stop = fields.stop.value_or(0);
        sample->SetTime(&start, fields.stop ? &stop : nullptr);
    }
    if (fields.mediaStart) {
        LONGLONG start = *fields.mediaStart;
        LONGLONG stop = fields.mediaStop.value_or(start);
        sample->SetMediaTime(&start, &stop);
    }
    sample->SetDiscontinuity(fields.discontinuity ? TRUE : FALSE);

    IMediaSample2 *pSample2 = nullptr;
    EXPECT_EQ(sample->QueryInterface(IID_IMediaSample2, reinterpret_cast<void **>(&pSample2)), S_OK);
    if (pSample2) {
        AM_SAMPLE2_PROPERTIES props{};
        EXPECT_EQ(pSample2->GetProperties(sizeof(props), reinterpret_cast<BYTE *>(&props)), S_OK);
        props.dwStreamId = fields.streamId;
        EXPECT_EQ(pSample2->SetProperties(sizeof(props), reinterpret_cast<const BYTE *>(&props)), S_OK);
        pSample2->Release();
    }
    return sample;
}

SamplePtr SamplePool::Make(const std::vector<uint8_t> &bytes, DWORD streamId)
{
    SampleFields fields;
    fields.bytes = bytes;
    fields.streamId = streamId;
    return Make(fields);
}

LONG SamplePool::FreeCount()
{
    IMemAllocatorCallbackTemp *pCallback = nullptr;
    LONG free = -1;
    if (SUCCEEDED(m_pAllocator->QueryInterface(IID_IMemAllocatorCallbackTemp, reinterpret_cast<void **>(&pCallback)))) {
        pCallback->GetFreeCount(&free);
        pCallback->Release();
    }
    return free;
}

ULONG RefCount(IUnknown *p)
{
    p->AddRef();
    return p->Release();
}

} // namespace wrapper_test
