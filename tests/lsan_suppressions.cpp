// Under the leak sanitizer: glibc keeps the text of a failed dlopen or dlsym
// in a buffer that only a thread-local variable of libc points to, which this
// sanitizer's scan of thread-local storage does not always reach; the buffer is
// freed with its thread, so it is no leak of ours.
#if defined(__SANITIZE_ADDRESS__)
#define ORVEX_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVEX_UNDER_ASAN 1
#endif
#endif

#ifdef ORVEX_UNDER_ASAN
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:_dlerror_run\n";
}
#endif
