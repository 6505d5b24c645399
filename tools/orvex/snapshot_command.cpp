#include "snapshot_command.h"

#include "exit_status.h"
#include "hresult_names.h"
#include "output_file.h"
#include "play_graph.h"
#include "png_writer.h"

#include <atomic>
#include <charconv>
#include <cstdio>
#include <mutex>
#include <vector>

namespace orvex {

int runSnapshot(const cli::Options &o)
{
    const std::string &file = o.args.at(0);
    const std::string &out = o.args.at(2);
    double seconds = 0;
    std::from_chars(o.args[1].data(), o.args[1].data() + o.args[1].size(), seconds);

    PlaySettings settings;
    settings.file = file;
    settings.format = PixelFormat::kRGB24;
    settings.scale = o.scale;
    settings.deblock = o.deblock;
    settings.start = seconds;

    // Sample times count from the seek position: the pictures decoded from
    // the key frame before it have negative starts.
    std::mutex lock;
    std::vector<uint8_t> picture;
    std::atomic<bool> taken{false};
    auto onPicture = [&](IMediaSample *sample) {
        if (taken) return;
        REFERENCE_TIME start = 0, stop = 0;
        if (FAILED(sample->GetTime(&start, &stop)) || start < 0) return;
        BYTE *data = nullptr;
        if (FAILED(sample->GetPointer(&data))) return;
        std::lock_guard<std::mutex> guard(lock);
        picture.assign(data, data + sample->GetActualDataLength());
        taken = true;
    };

    PlayGraph graph;
    PlayError error;
    if (!graph.build(settings, onPicture, nullptr, error)) {
        std::fprintf(stderr, "orvex: %s\n", error.message.c_str());
        return error.status;
    }
    PictureLayout layout;
    try {
        layout = graph.pictureLayoutOfType();
        OutputFile probe(out); // fail on an unwritable folder before decoding
    } catch (const std::exception &e) {
        std::fprintf(stderr, "orvex: %s\n", e.what());
        return kExitCannotCreate;
    }
    const HRESULT hr = graph.run([&taken] { return taken.load(); }, nullptr);
    if (FAILED(hr)) {
        std::fprintf(stderr, "orvex: playing %s failed: %s (0x%08X)\n", file.c_str(), hresultName(hr).c_str(),
                     unsigned(hr));
        return kExitFailed;
    }
    std::lock_guard<std::mutex> guard(lock);
    if (!taken) {
        std::fprintf(stderr, "orvex: %s has no picture at or after %s s\n", file.c_str(), o.args[1].c_str());
        return kExitFailed;
    }
    try {
        writePng(out, layout, picture.data(), picture.size());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "orvex: %s\n", e.what());
        return kExitCannotCreate;
    }
    return kExitOk;
}

} // namespace orvex
