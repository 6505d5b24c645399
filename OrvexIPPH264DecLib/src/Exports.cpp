#include "OrvexIPPH264DecLib.h"

#include "AVCDecoderInstance.h"

extern "C" {
#include <libavutil/log.h>
}

#include <new>

using OrvexIPP::Detail::AVCDecoderInstance;

OrvexIPP::AVCDecoder *CreateAVCDecInstance()
{
    // A decoder library does not talk on the console: corrupt input would
    // otherwise fill standard error. A host that chose a log level keeps it.
    if (av_log_get_level() == AV_LOG_INFO) av_log_set_level(AV_LOG_QUIET);
    return new (std::nothrow) AVCDecoderInstance();
}

void FreeAVCDecInstance(OrvexIPP::AVCDecoder *instance)
{
    delete static_cast<AVCDecoderInstance *>(instance);
}
