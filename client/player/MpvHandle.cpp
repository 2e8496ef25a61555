#include "MpvHandle.h"

#include "ThreadHandOver.h"

#include <QThreadPool>

namespace {

void terminateInBackground(mpv_handle *handle)
{
    // The application object waits for the global pool when it goes, so no player outlives it.
    // The pool hands the task to its thread under a lock inside Qt, which the annotations show
    // to ThreadSanitizer.
    QThreadPool *pool = QThreadPool::globalInstance();
    // A player released after the application object (a static, at exit) finds the pool gone.
    if (!pool) {
        mpv_terminate_destroy(handle);
        return;
    }
    ThreadHandOver::release(handle);
    pool->start([handle] {
        ThreadHandOver::acquire(handle);
        mpv_terminate_destroy(handle);
    });
}

} // namespace

MpvHandle createMpvHandle()
{
    mpv_handle *handle = mpv_create();
    if (!handle)
        return {};
    return MpvHandle(handle, &terminateInBackground);
}
