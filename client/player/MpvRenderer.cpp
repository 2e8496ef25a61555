#include "MpvRenderer.h"

#include "MpvObject.h"
#include "ThreadHandOver.h"

#include <QDebug>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QQuickWindow>

MpvRenderer::MpvRenderer(MpvObject *item)
    : m_item(item)
    , m_window(item->window())
    , m_mpv(item->mpv)
    , m_slot(item->mpv_gl)
{}

MpvRenderer::~MpvRenderer()
{
    // Runs on the render thread with the window's context current, while the GUI thread waits:
    // no frame is drawing and the item cannot read the slot. The player is terminated only
    // after its render context is gone, when the last handle goes.
    if (!m_slot->context)
        return;
    mpv_render_context_set_update_callback(m_slot->context, nullptr, nullptr);
    mpv_render_context_free(m_slot->context);
    m_slot->context = nullptr;
}

void *MpvRenderer::getProcAddress(void *, const char *name)
{
    QOpenGLContext *context = QOpenGLContext::currentContext();
    if (!context)
        return nullptr;
    return reinterpret_cast<void *>(context->getProcAddress(QByteArray(name)));
}

QOpenGLFramebufferObject *MpvRenderer::createFramebufferObject(const QSize &size)
{
    if (m_mpv && !m_slot->context)
        createRenderContext();
    return QQuickFramebufferObject::Renderer::createFramebufferObject(size);
}

void MpvRenderer::createRenderContext()
{
    mpv_opengl_init_params glInit{&MpvRenderer::getProcAddress, nullptr};
    char apiType[] = MPV_RENDER_API_TYPE_OPENGL;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, apiType},
                                 {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context *context = nullptr;
    if (mpv_render_context_create(&context, m_mpv.get(), params) < 0) {
        // The cell stays black instead of taking the console down.
        qWarning() << "failed to initialize mpv GL context";
        return;
    }
    m_slot->context = context;
    mpv_render_context_set_update_callback(context, &MpvObject::onRenderUpdate, m_item);
    // Posted: the item belongs to the GUI thread, which waits for this sync to end.
    ThreadHandOver::post(
        m_item, [item = m_item] { item->loadPendingFile(); }, Qt::QueuedConnection);
}

void MpvRenderer::render()
{
    QOpenGLFramebufferObject *target = framebufferObject();
    if (!m_slot->context) {
        clear();
        return;
    }
    m_window->resetOpenGLState();
    mpv_opengl_fbo fbo{static_cast<int>(target->handle()), target->width(), target->height(), 0};
    int flipY = 0;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
                                 {MPV_RENDER_PARAM_FLIP_Y, &flipY},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context_render(m_slot->context, params);
    m_window->resetOpenGLState();
}

void MpvRenderer::clear()
{
    QOpenGLFunctions *gl = QOpenGLContext::currentContext()->functions();
    gl->glClearColor(0, 0, 0, 1);
    gl->glClear(GL_COLOR_BUFFER_BIT);
}
