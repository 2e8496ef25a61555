#pragma once

#include <mpv/client.h>
#include <mpv/render.h>

#include <atomic>
#include <memory>

// Reference-counted libmpv player: copies share one player, which is terminated when the
// last copy goes. The termination runs on a pool thread, because it waits for the player's
// threads to finish (closing a network stream can take a while) and the last copy is often
// dropped on the GUI or the scene graph's render thread.
using MpvHandle = std::shared_ptr<mpv_handle>;

MpvHandle createMpvHandle();

// The player's render context, shared between the item and its renderer. Only the scene
// graph's render thread creates and frees it, and it does so while the GUI thread waits in the
// scene graph's synchronisation, so the GUI thread may use it at any other time. The pointer
// itself is atomic: the render thread publishes a context only once it is made, and the GUI
// thread's reads are ordered after that without relying on the scene graph's locks.
struct MpvRenderSlot
{
    std::atomic<mpv_render_context *> context{nullptr};
};
