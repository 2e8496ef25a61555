#include "MpvHandle.h"

#include <QThreadPool>

namespace {

void terminateInBackground(mpv_handle *handle)
{
    // The application object waits for the global pool when it goes, so no player outlives it.
    QThreadPool::globalInstance()->start([handle] { mpv_terminate_destroy(handle); });
}

} // namespace

MpvHandle createMpvHandle()
{
    mpv_handle *handle = mpv_create();
    if (!handle)
        return {};
    return MpvHandle(handle, &terminateInBackground);
}
