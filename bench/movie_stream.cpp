#include "movie_stream.h"

#include "MyQuickTimeAPIs/MyQTAPI.h"
#include "MyQuickTimeAPIs/MyQTAtom.h"
#include "MyQuickTimeAPIs/MyQTMovieLoader.h"
#include "MyQuickTimeAPIs/MyQTSampleDescriptions.h"
#include "MyQuickTimeAPIs/MyQTSampleTables.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace wrapper_test {

namespace {

std::wstring Widen(const std::string &text)
{
    return std::wstring(text.begin(), text.end());
}

CMyQTMedia *VideoMedia(const CMyQTMovie &movie)
{
    for (LONG i = 1; i <= GetMovieTrackCount(&movie); ++i) {
        CMyQTMedia *media = GetTrackMedia(GetMovieIndTrack(&movie, i));
        if (!media) continue;
        DWORD type = 0;
        GetMediaHandlerDescription(media, &type, nullptr, nullptr);
        if (type == MyQTFourCC("vide")) return media;
    }
    return nullptr;
}

// The first SPS and PPS of an 'avcC' atom, taken without parsing them, so
// that sets the system refuses can be handed to it too.
struct AvcRecord {
    std::vector<uint8_t> sps, pps;
    unsigned lengthSize = 4;
};

AvcRecord ReadAvcRecord(const BYTE *atom, size_t available)
{
    const size_t size = std::min<size_t>(MyQTReadBE32(atom), available);
    size_t at = 8; // the record follows the atom header
    auto need = [&](size_t n) {
        if (n > size || at > size - n) throw std::runtime_error("avcC record cut short");
    };
    auto set = [&](std::vector<uint8_t> &out) {
        need(2);
        const size_t n = MyQTReadBE16(atom + at);
        at += 2;
        need(n);
        out.assign(atom + at, atom + at + n);
        at += n;
    };
    AvcRecord record;
    std::vector<uint8_t> later; // sets after the first are not needed
    need(6);
    record.lengthSize = (atom[at + 4] & 3) + 1;
    const unsigned spsCount = atom[at + 5] & 0x1F;
    at += 6;
    for (unsigned i = 0; i < spsCount; ++i)
        set(i == 0 ? record.sps : later);
    need(1);
    const unsigned ppsCount = atom[at++];
    for (unsigned i = 0; i < ppsCount; ++i)
        set(i == 0 ? record.pps : later);
    return record;
}

} // namespace

size_t MovieStream::LargestSample() const
{
    size_t largest = std::max(sps.size(), pps.size()) + 4;
    for (const MovieSample &sample : samples)
        largest = std::max(largest, sample.bytes.size());
    return largest;
}

std::string DataPath(const std::string &relative)
{
    return std::string(ORVEX_TEST_DATA_DIR) + "/" + relative;
}

MovieStream LoadMovie(const std::string &path)
{
    MovieStream stream;
    const std::unique_ptr<CMyQTMovie> movie = LoadMovieAtom(Widen(path).c_str());
    const CMyQTMedia *media = VideoMedia(*movie);
    if (!media) throw std::runtime_error("no video track in " + path);

    CMyQTHandlePtr handle(NewHandle(0));
    GetMediaSampleDescription(media, 1, handle.get());
    stream.description = std::make_shared<CMyImageDescription>(handle->GetData(), handle->GetSize());
    const BYTE *avcC = stream.description->FindExtension(MyQTFourCC("avcC"));
    if (!avcC) throw std::runtime_error("no avcC in " + path);
    const auto available = static_cast<size_t>(stream.description->GetData() + stream.description->GetSize() - avcC);
    const AvcRecord record = ReadAvcRecord(avcC, available);
    stream.sps = record.sps;
    stream.pps = record.pps;
    // The decode filter takes units behind 4-byte lengths, as every test movie has them.
    if (record.lengthSize != 4) throw std::runtime_error("length fields other than 4 bytes in " + path);

    std::ifstream file(path, std::ios::binary);
    const LONG timeScale = GetMediaTimeScale(media);
    const LONG duration = GetMediaDuration(media);
    for (LONG t = 0; t < duration;) {
        DWORD offset = 0, size = 0;
        LONG sampleTime = 0, sampleDuration = 0, count = 0;
        GetMediaSampleReference(media, &offset, &size, t, &sampleTime, &sampleDuration, nullptr, nullptr, 1, &count,
                                nullptr);
        MovieSample sample;
        sample.bytes.resize(size);
        file.seekg(offset);
        file.read(reinterpret_cast<char *>(sample.bytes.data()), size);
        if (!file) throw std::runtime_error("cannot read a sample of " + path);
        sample.start = 10000000LL * sampleTime / timeScale;
        sample.stop = 10000000LL * (sampleTime + sampleDuration) / timeScale;
        stream.samples.push_back(std::move(sample));
        if (sampleDuration <= 0) break;
        t = sampleTime + sampleDuration;
    }
    return stream;
}

} // namespace wrapper_test
