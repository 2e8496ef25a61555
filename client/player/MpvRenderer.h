#pragma once

#include "MpvHandle.h"

#include <QQuickFramebufferObject>

#include <mpv/render_gl.h>

class MpvObject;
class QQuickWindow;

// Draws one MpvObject's picture into its framebuffer object with libmpv's OpenGL render API.
// Lives on the scene graph's render thread. It owns the player's render context from the first
// framebuffer to its own end, and keeps the player alive until that context is freed, so the
// item may go on the GUI thread at any moment without pulling the context from under a frame.
class MpvRenderer : public QQuickFramebufferObject::Renderer
{
public:
    explicit MpvRenderer(MpvObject *item);
    ~MpvRenderer() override;

    void render() override;
    QOpenGLFramebufferObject *createFramebufferObject(const QSize &size) override;

    // libmpv's OpenGL function resolver: null on a thread without a current context.
    static void *getProcAddress(void *context, const char *name);

private:
    void createRenderContext();
    void clear();

    MpvObject *m_item; // only touched while the GUI thread waits in the scene graph's sync
    QQuickWindow *m_window;
    MpvHandle m_mpv;
    std::shared_ptr<MpvRenderSlot> m_slot;
};
