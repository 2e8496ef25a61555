#include "ThreadHandOver.h"

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ARDIX_THREAD_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define ARDIX_THREAD_SANITIZER 1
#endif

#ifdef ARDIX_THREAD_SANITIZER
// The sanitizer's annotation interface: a release on an address orders everything the thread
// did before it ahead of everything another thread does after an acquire on the same address.
extern "C" void __tsan_acquire(void *address);
extern "C" void __tsan_release(void *address);
#endif

void ThreadHandOver::release([[maybe_unused]] const void *token)
{
#ifdef ARDIX_THREAD_SANITIZER
    __tsan_release(const_cast<void *>(token));
#endif
}

void ThreadHandOver::acquire([[maybe_unused]] const void *token)
{
#ifdef ARDIX_THREAD_SANITIZER
    __tsan_acquire(const_cast<void *>(token));
#endif
}
