#pragma once

#include <mpv/client.h>
#include <mpv/render.h>

#include <memory>

// Reference-counted libmpv player: copies share one player, which is terminated when the
// last copy goes. The termination runs on a pool thread, because it waits for the player's
// threads to finish (closing a network stream can take a while) and the last copy is often
// dropped on the GUI or the scene graph's render thread.
using MpvHandle = std::shared_ptr<mpv_handle>;

MpvHandle createMpvHandle();

// The player's render context, shared between the item and its renderer. Only the scene
// graph's render thread creates and frees it, and it does so while the GUI thread waits in the
// scene graph's synchronisation, so the GUI thread may read it at any other time.
struct MpvRenderSlot
{
    mpv_render_context *context = nullptr;
};
