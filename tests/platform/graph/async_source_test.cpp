// "File Source (Async.)" against real files: loading, reads at the end of
// the file, concurrent readers, queued requests, flushing, a missing file.
#include <dshow.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>
#include <vector>

#include "amfilter.h"
#include "support/scratch.h"

namespace {

class FileFixture : public testing::Test {
protected:
    void SetUp() override
    {
        m_path = (m_folder / "data.bin").wstring();
        // Byte i of the file is a function of i, so any read can be checked.
        m_bytes.resize(100000);
        for (size_t i = 0; i < m_bytes.size(); ++i)
            m_bytes[i] = expected(i);
        std::ofstream(m_folder / "data.bin", std::ios::binary)
            .write(reinterpret_cast<const char *>(m_bytes.data()), static_cast<std::streamsize>(m_bytes.size()));

        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                         reinterpret_cast<void **>(&m_filter)));
        ASSERT_EQ(S_OK, m_filter->QueryInterface(IID_IFileSourceFilter, reinterpret_cast<void **>(&m_source)));
    }

    void TearDown() override
    {
        if (m_reader) m_reader->Release();
        if (m_pin) m_pin->Release();
        m_source->Release();
        EXPECT_EQ(0u, m_filter->Release());
    }

    static BYTE expected(size_t i) { return static_cast<BYTE>((i * 7 + i / 251) & 0xFF); }

    void load()
    {
        ASSERT_EQ(S_OK, m_source->Load(m_path.c_str(), nullptr));
        ASSERT_EQ(S_OK, m_filter->FindPin(L"Output", &m_pin));
        ASSERT_EQ(S_OK, m_pin->QueryInterface(IID_IAsyncReader, reinterpret_cast<void **>(&m_reader)));
    }

    orvex::test::ScratchFolder m_scratch;
    std::filesystem::path m_folder = m_scratch.folder();
    std::wstring m_path;
    std::vector<BYTE> m_bytes;
    IBaseFilter *m_filter = nullptr;
    IFileSourceFilter *m_source = nullptr;
    IPin *m_pin = nullptr;
    IAsyncReader *m_reader = nullptr;
};

TEST_F(FileFixture, LoadRemembersTheNameAndOffersAByteStream)
{
    LPOLESTR name = reinterpret_cast<LPOLESTR>(1);
    EXPECT_EQ(E_FAIL, m_source->GetCurFile(&name, nullptr)) << "no file yet";
    EXPECT_EQ(nullptr, name);
    load();
    AM_MEDIA_TYPE mt{};
    ASSERT_EQ(S_OK, m_source->GetCurFile(&name, &mt));
    EXPECT_EQ(m_path, name);
    CoTaskMemFree(name);
    EXPECT_TRUE(mt.majortype == MEDIATYPE_Stream);
    EXPECT_TRUE(mt.subtype == GUID_NULL);
    EXPECT_TRUE(mt.formattype == GUID_NULL);
    FreeMediaType(mt);

    IEnumMediaTypes *types = nullptr;
    ASSERT_EQ(S_OK, m_pin->EnumMediaTypes(&types));
    AM_MEDIA_TYPE *offered = nullptr;
    ASSERT_EQ(S_OK, types->Next(1, &offered, nullptr));
    EXPECT_TRUE(offered->majortype == MEDIATYPE_Stream);
    DeleteMediaType(offered);
    EXPECT_EQ(S_FALSE, types->Next(1, &offered, nullptr));
    types->Release();

    PIN_DIRECTION d;
    EXPECT_EQ(S_OK, m_pin->QueryDirection(&d));
    EXPECT_EQ(PINDIR_OUTPUT, d);
    LONGLONG total = 0, available = 0;
    ASSERT_EQ(S_OK, m_reader->Length(&total, &available));
    EXPECT_EQ(static_cast<LONGLONG>(m_bytes.size()), total);
    EXPECT_EQ(total, available);
}

TEST_F(FileFixture, MissingFilesAndFoldersAreRefused)
{
    std::wstring missing = (m_folder / "missing.mov").wstring();
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), m_source->Load(missing.c_str(), nullptr));
    std::wstring inMissingFolder = (m_folder / "nowhere" / "x.mov").wstring();
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), m_source->Load(inMissingFolder.c_str(), nullptr));
    std::wstring underAFile = m_path + L"/x.mov";
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), m_source->Load(underAFile.c_str(), nullptr));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), m_source->Load(m_folder.wstring().c_str(), nullptr));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), m_source->Load(L"", nullptr));
    EXPECT_EQ(E_POINTER, m_source->Load(nullptr, nullptr));
    LPOLESTR name = nullptr;
    EXPECT_EQ(E_FAIL, m_source->GetCurFile(&name, nullptr)) << "a failed load leaves no file";
}

struct ReadCase {
    const char *what;
    LONGLONG position;
    LONG length;
    HRESULT result;
    LONG valid; // bytes that must match the file
};

class SyncReads : public FileFixture, public testing::WithParamInterface<ReadCase> {};

TEST_P(SyncReads, ReadGivesTheFileBytes)
{
    load();
    const ReadCase &c = GetParam();
    std::vector<BYTE> buffer(static_cast<size_t>(std::max<LONG>(c.length, 1)), 0xEE);
    EXPECT_EQ(c.result, m_reader->SyncRead(c.position, c.length, buffer.data()));
    for (LONG i = 0; i < c.valid; ++i) {
        ASSERT_EQ(expected(static_cast<size_t>(c.position + i)), buffer[static_cast<size_t>(i)]) << "byte " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Positions, SyncReads,
    testing::Values(ReadCase{"start", 0, 4096, S_OK, 4096}, ReadCase{"middle", 54321, 1000, S_OK, 1000},
                    ReadCase{"whole_file", 0, 100000, S_OK, 100000}, ReadCase{"last_byte", 99999, 1, S_OK, 1},
                    ReadCase{"short_at_end", 99990, 100, S_FALSE, 10}, ReadCase{"past_the_end", 200000, 16, S_FALSE, 0},
                    ReadCase{"nothing", 500, 0, S_OK, 0}, ReadCase{"negative_position", -1, 16, E_INVALIDARG, 0},
                    ReadCase{"negative_length", 0, -16, E_INVALIDARG, 0},
                    ReadCase{"position_that_wraps", 0x7FFFFFFFFFFFFFF0LL, 64, E_INVALIDARG, 0}),
    [](const testing::TestParamInfo<ReadCase> &info) { return std::string(info.param.what); });

TEST_F(FileFixture, ReadErrorsAreFailuresNotShortReads)
{
    load();
    EXPECT_EQ(E_POINTER, m_reader->SyncRead(0, 16, nullptr));
    m_reader->Release();
    m_reader = nullptr;
    m_pin->Release();
    m_pin = nullptr;
    // This process's memory file fails with an I/O error at address 0.
    ASSERT_EQ(S_OK, m_source->Load(L"/proc/self/mem", nullptr));
    ASSERT_EQ(S_OK, m_filter->FindPin(L"Output", &m_pin));
    ASSERT_EQ(S_OK, m_pin->QueryInterface(IID_IAsyncReader, reinterpret_cast<void **>(&m_reader)));
    BYTE buffer[16];
    HRESULT hr = m_reader->SyncRead(0, 16, buffer);
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
}

TEST_F(FileFixture, ConcurrentReadersEachGetTheirOwnBytes)
{
    load();
    std::atomic<int> wrong{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t) {
        readers.emplace_back([&, t] {
            std::mt19937 random(static_cast<unsigned>(t));
            std::vector<BYTE> buffer(3000);
            for (int i = 0; i < 300; ++i) {
                LONGLONG position = random() % 97000;
                LONG length = static_cast<LONG>(1 + random() % 3000);
                if (m_reader->SyncRead(position, length, buffer.data()) != S_OK) {
                    ++wrong;
                    continue;
                }
                for (LONG k = 0; k < length; ++k) {
                    if (buffer[static_cast<size_t>(k)] != expected(static_cast<size_t>(position + k))) {
                        ++wrong;
                        break;
                    }
                }
            }
        });
    }
    for (std::thread &t : readers)
        t.join();
    EXPECT_EQ(0, wrong.load());
}

class Requests : public FileFixture {
protected:
    void SetUp() override
    {
        FileFixture::SetUp();
        load();
        ALLOCATOR_PROPERTIES props{4, 1000, 0, 0};
        ASSERT_EQ(S_OK, m_reader->RequestAllocator(nullptr, &props, &m_allocator));
        ALLOCATOR_PROPERTIES actual{};
        ASSERT_EQ(S_OK, m_allocator->GetProperties(&actual));
        EXPECT_EQ(4, actual.cBuffers);
        EXPECT_GE(actual.cbBuffer, 1000);
        ASSERT_EQ(S_OK, m_allocator->Commit());
    }
    void TearDown() override
    {
        m_allocator->Decommit();
        m_allocator->Release();
        FileFixture::TearDown();
    }
    IMediaSample *sampleFor(LONGLONG position, LONG length)
    {
        IMediaSample *sample = nullptr;
        EXPECT_EQ(S_OK, m_allocator->GetBuffer(&sample, nullptr, nullptr, 0));
        REFERENCE_TIME start = position * UNITS, stop = (position + length) * UNITS;
        sample->SetTime(&start, &stop);
        return sample;
    }
    IMemAllocator *m_allocator = nullptr;
};

TEST_F(Requests, AreServedInOrderOnTheWaitingThread)
{
    ASSERT_EQ(S_OK, m_reader->Request(sampleFor(1000, 500), 1));
    ASSERT_EQ(S_OK, m_reader->Request(sampleFor(99800, 1000), 2));
    IMediaSample *sample = nullptr;
    DWORD_PTR user = 0;
    ASSERT_EQ(S_OK, m_reader->WaitForNext(0, &sample, &user));
    EXPECT_EQ(1u, user);
    EXPECT_EQ(500, sample->GetActualDataLength());
    BYTE *p = nullptr;
    sample->GetPointer(&p);
    EXPECT_EQ(expected(1000), p[0]);
    EXPECT_EQ(expected(1499), p[499]);
    sample->Release();

    ASSERT_EQ(S_FALSE, m_reader->WaitForNext(0, &sample, &user)) << "the file ends 200 bytes in";
    EXPECT_EQ(2u, user);
    EXPECT_EQ(200, sample->GetActualDataLength());
    sample->Release();
    EXPECT_EQ(VFW_E_TIMEOUT, m_reader->WaitForNext(0, &sample, &user));
    EXPECT_EQ(nullptr, sample);
}

TEST_F(Requests, BadRequestsAreRefused)
{
    IMediaSample *sample = nullptr;
    ASSERT_EQ(S_OK, m_allocator->GetBuffer(&sample, nullptr, nullptr, 0));
    EXPECT_EQ(VFW_E_SAMPLE_TIME_NOT_SET, m_reader->Request(sample, 0));
    REFERENCE_TIME start = 0, stop = 5000 * UNITS;
    sample->SetTime(&start, &stop);
    EXPECT_EQ(VFW_E_BUFFER_OVERFLOW, m_reader->Request(sample, 0)) << "more bytes than the buffer holds";
    EXPECT_EQ(VFW_E_BUFFER_OVERFLOW, m_reader->SyncReadAligned(sample));
    start = 10 * UNITS;
    stop = 5 * UNITS;
    sample->SetTime(&start, &stop);
    EXPECT_EQ(E_INVALIDARG, m_reader->Request(sample, 0));
    stop = 20 * UNITS;
    sample->SetTime(&start, &stop);
    EXPECT_EQ(S_OK, m_reader->SyncReadAligned(sample));
    EXPECT_EQ(10, sample->GetActualDataLength());
    sample->Release();
    EXPECT_EQ(E_POINTER, m_reader->Request(nullptr, 0));
    DWORD_PTR user;
    EXPECT_EQ(E_POINTER, m_reader->WaitForNext(0, nullptr, &user));
}

TEST_F(Requests, FlushWakesAWaiterAndReturnsPendingRequests)
{
    std::atomic<HRESULT> waited{S_OK};
    std::thread waiter([&] {
        IMediaSample *sample = nullptr;
        DWORD_PTR user = 0;
        waited = m_reader->WaitForNext(INFINITE, &sample, &user);
        if (sample) sample->Release();
    });
    ASSERT_EQ(S_OK, m_reader->BeginFlush());
    waiter.join();
    EXPECT_EQ(VFW_E_WRONG_STATE, waited.load());

    IMediaSample *refused = sampleFor(0, 10);
    EXPECT_EQ(VFW_E_WRONG_STATE, m_reader->Request(refused, 7)) << "no requests while flushing";
    refused->Release(); // a refused request leaves the sample with the caller
    ASSERT_EQ(S_OK, m_reader->EndFlush());

    // One pending when the next flush begins comes back with the refusal.
    IMediaSample *queued = sampleFor(0, 10);
    ASSERT_EQ(S_OK, m_reader->Request(queued, 9));
    ASSERT_EQ(S_OK, m_reader->BeginFlush());
    IMediaSample *sample = nullptr;
    DWORD_PTR user = 0;
    EXPECT_EQ(VFW_E_WRONG_STATE, m_reader->WaitForNext(INFINITE, &sample, &user));
    EXPECT_EQ(queued, sample);
    EXPECT_EQ(9u, user);
    sample->Release();
    EXPECT_EQ(VFW_E_WRONG_STATE, m_reader->WaitForNext(INFINITE, &sample, &user));
    EXPECT_EQ(nullptr, sample);
    EXPECT_EQ(S_OK, m_reader->EndFlush());
}

TEST_F(Requests, ARequestFromAnotherThreadWakesTheWaiter)
{
    IMediaSample *request = sampleFor(42, 8);
    std::thread requester([&] { m_reader->Request(request, 3); });
    IMediaSample *sample = nullptr;
    DWORD_PTR user = 0;
    EXPECT_EQ(S_OK, m_reader->WaitForNext(INFINITE, &sample, &user));
    requester.join();
    EXPECT_EQ(request, sample);
    EXPECT_EQ(3u, user);
    sample->Release();
}

TEST_F(Requests, PreferredAllocatorIsUsedWhenItTakesTheProperties)
{
    IMemAllocator *mine = nullptr;
    ASSERT_EQ(S_OK, CreateMemoryAllocator(&mine));
    ALLOCATOR_PROPERTIES props{2, 256, 0, 0};
    IMemAllocator *actual = nullptr;
    ASSERT_EQ(S_OK, m_reader->RequestAllocator(mine, &props, &actual));
    EXPECT_EQ(mine, actual);
    actual->Release();
    mine->Release();
    EXPECT_EQ(E_POINTER, m_reader->RequestAllocator(nullptr, nullptr, &actual));
}

} // namespace
