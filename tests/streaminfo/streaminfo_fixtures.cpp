#include "streaminfo/streaminfo_fixtures.h"

#include "MyQuickTimeAPIs/MyQTAPI.h"
#include "support/annexb.h"
#include "support/movie_writer.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace orvex::test {

namespace {

const H264Stream &testStream()
{
    static const H264Stream stream = parseAnnexB(readFileBytes(dataPath("movies/stream_176x144_15fps.h264")));
    return stream;
}

} // namespace

const Bytes &testSps()
{
    return testStream().sps;
}

const Bytes &testPps()
{
    return testStream().pps;
}

qt::TrackAtoms videoTrack(int32_t timeScale, int32_t duration, std::vector<Atom> tables, int16_t width, int16_t height)
{
    qt::TrackAtoms track;
    track.trackId = 1;
    track.mediaType = "vide";
    track.timeScale = timeScale;
    track.duration = duration;
    track.sampleDescriptions =
        qt::stsd({qt::imageDescription("avc1", width, height, {qt::avcC(testSps(), testPps())})});
    track.tables = std::move(tables);
    return track;
}

qt::TrackAtoms soundTrack(const std::string &format, uint16_t channels, uint16_t bits, uint32_t sampleRate,
                          int32_t duration, std::vector<Atom> tables)
{
    qt::TrackAtoms track;
    track.trackId = 2;
    track.mediaType = "soun";
    track.timeScale = static_cast<int32_t>(sampleRate);
    track.duration = duration;
    track.sampleDescriptions = qt::stsd({qt::soundDescriptionV0(format, channels, bits, sampleRate)});
    track.tables = std::move(tables);
    return track;
}

std::vector<Atom> evenVideoTables(uint32_t n, uint32_t duration, uint32_t size, uint32_t firstOffset)
{
    std::vector<uint32_t> offsets, sizes;
    for (uint32_t i = 0; i < n; ++i) {
        offsets.push_back(firstOffset + i * size);
        sizes.push_back(size);
    }
    return {qt::stts({{n, duration}}), qt::stsc({{1, 1, 1}}), qt::stsz(sizes), qt::stco(offsets)};
}

TestMovie::TestMovie(const Atom &moov)
{
    Bytes bytes = moov.bytes();
    auto buffer = std::make_unique<BYTE[]>(bytes.size());
    std::memcpy(buffer.get(), bytes.data(), bytes.size());
    m_movie = std::make_unique<CMyQTMovie>(std::move(buffer), static_cast<DWORD>(bytes.size()));
}

const CMyQTMedia *TestMovie::media(int k) const
{
    return GetTrackMedia(GetMovieIndTrack(m_movie.get(), k));
}

Atom movieAtom(const std::vector<qt::TrackAtoms> &tracks)
{
    Atom moov("moov", std::vector<Atom>{qt::mvhd(600, 600)});
    for (const auto &track : tracks)
        moov.add(qt::trak(track));
    return moov;
}

std::string qtError(CMyQTException::EExceptionType code)
{
    return "CMyQTException " + std::to_string(int(code));
}

std::string outcome(const std::function<void()> &call)
{
    try {
        call();
        return "ok";
    } catch (const CMyQTException &e) {
        return qtError(e.GetType());
    } catch (CMyQTException::EExceptionType code) {
        return "bare code " + std::to_string(int(code));
    } catch (const char *text) {
        return std::string("text: ") + text;
    } catch (const std::exception &e) {
        return std::string("std::exception: ") + e.what();
    }
}

ScratchDir::ScratchDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "orvex-si-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    m_path = pattern;
}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string ScratchDir::write(const std::string &name, const Bytes &bytes) const
{
    writeFileBytes(path(name), bytes);
    return path(name);
}

Bytes movieFileBytes(const Atom &moov, const Bytes &mdatBody)
{
    return fileBytes({Atom("mdat", mdatBody), moov});
}

std::wstring widen(const std::string &text)
{
    return std::wstring(text.begin(), text.end());
}

std::string dataPath(const std::string &relative)
{
    return std::string(ORVEX_TEST_DATA_DIR) + "/" + relative;
}

} // namespace orvex::test
