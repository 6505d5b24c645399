// Loading movie files into stream infos: the file checks, the refusals with
// their result codes, and the camera and plain paths with their stream info
// kinds and pin names, on movies written by the test movie writer.
#include "MovFileParserFilter/H264MediaStreamInfo.h"
#include "MovFileParserFilter/MovieStreamLoader.h"
#include "MovFileParserFilter/OrvexCameraH264MediaStreamInfo.h"
#include "MovFileParserFilter/OrvexCameraPCMSoundMediaStreamInfo.h"
#include "MovFileParserFilter/PCMSoundMediaStreamInfo.h"
#include "streaminfo/streaminfo_fixtures.h"
#include "support/debug_capture.h"
#include "support/movie_writer.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace orvex::test {
namespace {

// What loading gives: the result, the kinds of stream infos and the pin names,
// then each index's totals and first entry. A refused load must leave the streams empty.
std::string load(const std::string &path)
{
    CMyMovieStreams s;
    s.camera = true;
    const HRESULT hr = LoadMovieStreams(widen(path).c_str(), &s);
    std::string text = hr == S_OK ? "S_OK" : hr == E_INVALIDARG ? "E_INVALIDARG" : std::to_string(hr);
    if (hr != S_OK) return text + (s.camera || s.video || s.sound ? " not empty" : "");
    auto name = [](const WCHAR *pin) { return pin ? std::string(pin, pin + wcslen(pin)) : "none"; };
    text +=
        std::string(s.camera ? " camera " : " plain ") + name(s.GetVideoPinName()) + " " + name(s.GetSoundPinName());
    text += dynamic_cast<COrvexCameraH264MediaStreamInfo *>(s.video.get()) ? " CameraH264"
            : dynamic_cast<CH264MediaStreamInfo *>(s.video.get())          ? " H264"
                                                                           : " ?";
    text += dynamic_cast<COrvexCameraPCMSoundMediaStreamInfo *>(s.sound.get()) ? " CameraPCM"
            : dynamic_cast<CPCMSoundMediaStreamInfo *>(s.sound.get())          ? " PCM"
                                                                               : "";
    const auto brief = [](const CQuickTimeMediaStreamInfo &info) { // the totals and the first entry
        const std::string summary = indexSummary(info);
        return summary.substr(0, summary.find(" |", summary.find(" |") + 1));
    };
    text += " last " + std::to_string(s.lastMediaByte) + "; " + brief(*s.video);
    return s.sound ? text + "; " + brief(*s.sound) : text;
}

TEST(MovieLoading, FilesThatAreNoServableMovieAreRefused)
{
    ScratchFolder dir;
    const Atom moov = movieAtomWith({videoTrack(15000, 5000, evenVideoTables(5, 1000, 10, 8))});
    const Atom soundOnly = movieAtomWith(
        {soundTrack("sowt", 1, 16, 8000, 16, "stts 16 1; stsc 1 16 1; stsz =1 #16; stco " + std::to_string(8))});
    const std::string path = dir.path("huge.mov");
    std::filesystem::resize_file(dir.write("huge.mov", {}), 0x100000000ULL); // sparse: takes no room
    struct Row {
        std::string path;
        std::string expected;
        const char *traced;
    };
    for (const Row &row :
         {Row{dir.path("no-folder/missing.mov"), std::to_string(HRESULT(0x80070003)), nullptr},
          Row{path, "E_INVALIDARG", "COrvexMovFileParserFilter::setSourceFile fileSize = 4294967296 \n"},
          Row{dir.write("empty.mov", {}), "E_INVALIDARG", "Not MOV File format \n"},
          Row{dir.write("no-mdat.mov", fileBytes({moov})), "E_INVALIDARG", nullptr},
          Row{dir.write("no-video.mov", fileBytes({Atom("mdat", Bytes(50)), soundOnly})), "E_INVALIDARG",
              "Can't use OrvexMovParserFilter \n"},
          // The last sample ends one byte past the media data.
          Row{dir.write("short.mov", fileBytes({Atom("mdat", Bytes(49)), moov})), "E_INVALIDARG",
              "ChunkOffset Error  \n"},
          Row{dir.write("fits.mov", fileBytes({Atom("mdat", Bytes(50)), moov})),
              "S_OK plain Video(H.264) Out none H264 last 57; 5 entries 50 bytes max 10 dur 3333333 sync all | "
              "0-666666 10@8 x1",
              nullptr}}) {
        DebugCapture capture;
        EXPECT_EQ(load(row.path), row.expected) << row.path;
        EXPECT_EQ(row.traced ? capture.count(row.traced) : 1u, 1u) << row.path;
    }
    // One byte less than 4 GiB passes the size check, then is no movie.
    std::filesystem::resize_file(path, 0xFFFFFFFFULL);
    DebugCapture capture;
    EXPECT_EQ(load(path), "E_INVALIDARG");
    EXPECT_FALSE(capture.contains("fileSize"));
}

TEST(MovieLoading, WrittenMoviesTakeThePlainOrTheCameraPath)
{
    ScratchFolder dir;
    const VideoInput video = videoFromStream(testStream(), 176, 144);
    const SoundInput sound = makeSound(2.5, 2, 8000), halfSecond = makeSound(0.5, 1, 8000);
    struct Row {
        const char *name;
        WrittenMovie written;
        std::string expected;
        size_t plainLines;
    };
    for (const Row &row :
         {Row{"plain", writeMovie(video, &sound),
              "S_OK plain Video(H.264) Out Audio(PCM) Out H264 PCM last 118151; 30 entries 38124 bytes max 4068 dur "
              "20000000 sync 0,15 | 0-666666 3536@32028 x1; 3 entries 80000 bytes max 32000 dur 25000000 sync all | "
              "0-10000000 32000@28 x8000",
              1},
          // The camera index: a sync entry every 15 (the stream's IDR distance), whole seconds of sound.
          Row{"camera", writeMovie(video, &sound, {MovieLayout::kCamera}),
              "S_OK camera Video(Orvex H.264) Out Audio(PCM) Out CameraH264 CameraPCM last 118151; 30 entries 38124 "
              "bytes max 4068 dur 20000000 sync 0,15 | 0-666666 3536@32028 x1; 3 entries 80000 bytes max 32000 dur "
              "25000000 sync all | 0-10000000 32000@28 x8000",
              0},
          // Without a second 'trak' the movie atom does not have the camera layout.
          Row{"camera-video", writeMovie(video, nullptr, {MovieLayout::kCamera}),
              "S_OK plain Video(H.264) Out none H264 last 38151; 30 entries 38124 bytes max 4068 dur 20000000 sync "
              "0,15 | 0-666666 3536@28 x1",
              1},
          // Its only chunk holds less than a second, which the camera index cannot tell.
          Row{"camera-short", writeMovie(video, &halfSecond, {MovieLayout::kCamera}), "E_INVALIDARG", 0}}) {
        DebugCapture capture;
        EXPECT_EQ(load(dir.write(std::string(row.name) + ".mov", row.written.file)), row.expected) << row.name;
        EXPECT_EQ(capture.count("Create Output Pins as QuickTimeMovie \n"), row.plainLines) << row.name;
    }
}

} // namespace
} // namespace orvex::test
