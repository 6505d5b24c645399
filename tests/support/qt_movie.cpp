#include "support/qt_movie.h"

#include "MyQuickTimeAPIs/MyQTAPI.h"

#include <cstring>

namespace orvex::test {

std::unique_ptr<CMyQTMovie> movieFrom(const Atom &atom)
{
    const Bytes moov = atom.bytes();
    auto buffer = std::make_unique<BYTE[]>(moov.size());
    if (!moov.empty()) std::memcpy(buffer.get(), moov.data(), moov.size());
    return std::make_unique<CMyQTMovie>(std::move(buffer), DWORD(moov.size()));
}

Atom movieAtomWith(const std::vector<qt::TrackAtoms> &tracks)
{
    Atom moov("moov", std::vector<Atom>{qt::mvhd(600, 600)});
    for (const auto &track : tracks)
        moov.add(qt::trak(track));
    return moov;
}

CMyQTMedia *mediaOf(const std::unique_ptr<CMyQTMovie> &movie, LONG k)
{
    return GetTrackMedia(GetMovieIndTrack(movie.get(), k));
}

std::string outcome(const std::function<void()> &call)
{
    try {
        call();
        return "ok";
    } catch (const CMyQTException &e) {
        return "E" + std::to_string(int(e.GetType()));
    } catch (CMyQTException::EExceptionType code) {
        return "B" + std::to_string(int(code));
    } catch (const char *text) {
        return std::string("text: ") + text;
    } catch (const std::exception &e) {
        return std::string("std::exception: ") + e.what();
    }
}

std::string answerOf(const std::function<std::string()> &call)
{
    std::string answer;
    const std::string how = outcome([&] { answer = call(); });
    return how == "ok" ? answer : how;
}

std::string fourccText(DWORD code)
{
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8)
        text += char(code >> shift);
    return text;
}

std::wstring widen(const std::string &text)
{
    return std::wstring(text.begin(), text.end());
}

std::string dataPath(const std::string &relative)
{
    return std::string(ORVEX_TEST_DATA_DIR) + "/" + relative;
}

std::vector<const char *> realMovies()
{
    return {"baseline_sowt.mov", "main_aac_faststart.mov", "odd_size_sowt_3000.mov", "sowt_one_second_chunks.mov",
            "video_only_faststart.mov"};
}

std::string movieTestName(const ::testing::TestParamInfo<const char *> &info)
{
    const std::string name = info.param;
    return name.substr(0, name.find('.'));
}

} // namespace orvex::test
