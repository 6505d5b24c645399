// Under the thread sanitizer: libavcodec's frame threads hand frames and
// buffers over with atomics inside the uninstrumented FFmpeg libraries, which
// the sanitizer cannot see, so their allocations, frees and copies would be
// reported as races with the decoding thread. Accesses that those libraries
// make themselves are left out of the race detection.
#if defined(__SANITIZE_THREAD__)
#define DECLIB_TESTS_UNDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define DECLIB_TESTS_UNDER_TSAN 1
#endif
#endif

#ifdef DECLIB_TESTS_UNDER_TSAN
extern "C" const char *__tsan_default_suppressions()
{
    return "called_from_lib:libavcodec.so\n"
           "called_from_lib:libavutil.so\n"
           "called_from_lib:libswscale.so\n"
           "race:libavcodec.so\n"
           "race:libavutil.so\n"
           "race:libswscale.so\n";
}
#endif
