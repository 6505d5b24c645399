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

SamplePtr SamplePool::Make(const std::vector<uint8_t> &bytes)
{
    IMediaSample *pSample = nullptr;
    EXPECT_EQ(m_allocator->GetBuffer(&pSample, nullptr, nullptr, 0), S_OK);
    SamplePtr sample(pSample);
    EXPECT_LE(bytes.size(), static_cast<size_t>(m_size)) << "sample larger than the pool's buffers";
    if (!sample || bytes.size() > static_cast<size_t>(m_size)) return nullptr;

    BYTE *pBuffer = nullptr;
    EXPECT_EQ(sample->GetPointer(&pBuffer), S_OK);
    if (!bytes.empty()) std::memcpy(pBuffer, bytes.data(), bytes.size());
    EXPECT_EQ(sample->SetActualDataLength(static_cast<LONG>(bytes.size())), S_OK);
    return sample;
}

LONG SamplePool::FreeCount()
{
    LONG free = -1;
    Query<IMemAllocatorCallbackTemp>(m_allocator.get(), IID_IMemAllocatorCallbackTemp)->GetFreeCount(&free);
    return free;
}

} // namespace wrapper_test
