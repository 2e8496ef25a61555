#pragma once

#include "MpvHandle.h"

#include <QQuickFramebufferObject>

#include <mpv/render_gl.h>

#include <cstdint>
#include <memory>

class MpvObject;
class QQuickWindow;

// Draws one MpvObject's picture into its framebuffer object with libmpv's render API. Lives on
// the scene graph's render thread. It owns the player's render context from the first
// framebuffer to its own end, and keeps the player alive until that context is freed, so the
// item may go on the GUI thread at any moment without pulling the context from under a frame.
//
// Two ways to draw: libmpv's OpenGL renderer, or libmpv's software renderer whose picture is
// uploaded into the framebuffer's texture. On a software OpenGL (Mesa's llvmpipe) every shader
// pass of the OpenGL renderer runs on the processor and costs far more than converting and
// scaling the picture directly; "auto" picks software there and OpenGL on a real GPU.
class MpvRenderer : public QQuickFramebufferObject::Renderer
{
public:
    enum class Mode { OpenGl, Software };

    MpvRenderer(MpvObject *item, const QString &choice);
    ~MpvRenderer() override;

    void render() override;
    QOpenGLFramebufferObject *createFramebufferObject(const QSize &size) override;

    // libmpv's OpenGL function resolver: null on a thread without a current context.
    static void *getProcAddress(void *context, const char *name);
    // What "auto", "gl" or "software" means with the current context's OpenGL renderer.
    static Mode chooseMode(const QString &choice, const QByteArray &glRenderer);

private:
    void createRenderContext();
    mpv_render_context *createContext(Mode mode);
    void renderWithOpenGl(QOpenGLFramebufferObject *target);
    void renderInSoftware(QOpenGLFramebufferObject *target);
    void clear();

    MpvObject *m_item; // only touched while the GUI thread waits in the scene graph's sync
    QQuickWindow *m_window;
    MpvHandle m_mpv;
    std::shared_ptr<MpvRenderSlot> m_slot;
    QString m_choice;
    Mode m_mode = Mode::OpenGl;
    // The software renderer's picture, top row first.
    struct AlignedFree
    {
        void operator()(std::uint8_t *p) const;
    };
    std::unique_ptr<std::uint8_t[], AlignedFree> m_pixels;
    size_t m_pixelBytes = 0;
};
