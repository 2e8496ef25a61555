#include "MpvRenderer.h"

#include "MpvObject.h"
#include "ThreadHandOver.h"

#include <QDebug>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QQuickWindow>

#include <atomic>
#include <cstdlib>

namespace {

// libmpv's software renderer works fastest with rows and the picture on 64-byte boundaries.
constexpr size_t kAlignment = 64;

size_t alignedRowBytes(int width)
{
    const size_t bytes = static_cast<size_t>(width) * 4;
    return (bytes + kAlignment - 1) / kAlignment * kAlignment;
}

// The software renderer leaves the fourth byte of each pixel undefined; the scene graph blends
// the framebuffer's texture by its alpha, so a cell would show what lies under it.
void makeOpaque(std::uint8_t *pixels, int width, int height, size_t rowBytes)
{
    for (int y = 0; y < height; ++y) {
        std::uint8_t *alpha = pixels + rowBytes * static_cast<size_t>(y) + 3;
        for (int x = 0; x < width; ++x, alpha += 4)
            *alpha = 0xff;
    }
}

bool isSoftwareOpenGl(const QByteArray &renderer)
{
    for (const char *name : {"llvmpipe", "softpipe", "Software Rasterizer", "SWR"})
        if (renderer.contains(name))
            return true;
    return false;
}

const char *modeName(MpvRenderer::Mode mode)
{
    return mode == MpvRenderer::Mode::Software ? "software" : "OpenGL";
}

} // namespace

MpvRenderer::MpvRenderer(MpvObject *item, const QString &choice)
    : m_item(item)
    , m_window(item->window())
    , m_mpv(item->mpv)
    , m_slot(item->mpv_gl)
    , m_choice(choice)
{}

void MpvRenderer::AlignedFree::operator()(std::uint8_t *p) const
{
    std::free(p);
}

MpvRenderer::Mode MpvRenderer::chooseMode(const QString &choice, const QByteArray &glRenderer)
{
    if (choice == QLatin1String("software"))
        return Mode::Software;
    if (choice == QLatin1String("gl"))
        return Mode::OpenGl;
    return isSoftwareOpenGl(glRenderer) ? Mode::Software : Mode::OpenGl;
}

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

mpv_render_context *MpvRenderer::createContext(Mode mode)
{
    mpv_opengl_init_params glInit{&MpvRenderer::getProcAddress, nullptr};
    char openGl[] = MPV_RENDER_API_TYPE_OPENGL;
    char software[] = MPV_RENDER_API_TYPE_SW;
    mpv_render_param glParams[] = {{MPV_RENDER_PARAM_API_TYPE, openGl},
                                   {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
                                   {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_param swParams[] = {{MPV_RENDER_PARAM_API_TYPE, software},
                                   {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context *context = nullptr;
    if (mpv_render_context_create(&context, m_mpv.get(),
                                  mode == Mode::Software ? swParams : glParams) < 0)
        return nullptr;
    return context;
}

void MpvRenderer::createRenderContext()
{
    const QByteArray renderer(reinterpret_cast<const char *>(
        QOpenGLContext::currentContext()->functions()->glGetString(GL_RENDERER)));
    m_mode = chooseMode(m_choice, renderer);
    static std::atomic<bool> told{false};
    if (!told.exchange(true))
        qInfo().noquote() << "Video renderer:" << modeName(m_mode) << "(OpenGL renderer"
                          << QString::fromLatin1(renderer.isEmpty() ? "unknown" : renderer) +
                                 ", setting"
                          << (m_choice.isEmpty() ? QStringLiteral("auto") : m_choice) + ")";
    mpv_render_context *context = createContext(m_mode);
    if (!context) {
        // The cell stays black instead of taking the console down.
        if (m_mode == Mode::Software)
            qWarning() << "failed to initialize mpv software render context";
        else
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
    if (m_mode == Mode::Software)
        renderInSoftware(target);
    else
        renderWithOpenGl(target);
}

void MpvRenderer::renderInSoftware(QOpenGLFramebufferObject *target)
{
    const int width = target->width();
    const int height = target->height();
    const size_t rowBytes = alignedRowBytes(width);
    const size_t bytes = rowBytes * static_cast<size_t>(height);
    if (bytes == 0)
        return;
    if (bytes > m_pixelBytes) {
        m_pixels.reset(static_cast<std::uint8_t *>(std::aligned_alloc(kAlignment, bytes)));
        m_pixelBytes = m_pixels ? bytes : 0;
        if (m_pixelBytes == 0)
            return;
    }
    int size[2] = {width, height};
    char format[] = "rgb0";
    size_t stride = rowBytes;
    // One render thread draws every cell: none may wait there for its own frame's time.
    int dontBlock = 0;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_SW_SIZE, size},
                                 {MPV_RENDER_PARAM_SW_FORMAT, format},
                                 {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                                 {MPV_RENDER_PARAM_SW_POINTER, m_pixels.get()},
                                 {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &dontBlock},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    if (mpv_render_context_render(m_slot->context, params) < 0)
        return;
    makeOpaque(m_pixels.get(), width, height, rowBytes);
    QOpenGLFunctions *gl = QOpenGLContext::currentContext()->functions();
    gl->glBindTexture(GL_TEXTURE_2D, target->texture());
    gl->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    gl->glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(rowBytes / 4));
    // The framebuffer's texture is drawn with its first row at the item's top, as the
    // picture's first row is.
    gl->glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE,
                        m_pixels.get());
    gl->glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    gl->glBindTexture(GL_TEXTURE_2D, 0);
}

void MpvRenderer::renderWithOpenGl(QOpenGLFramebufferObject *target)
{
    m_window->resetOpenGLState();
    mpv_opengl_fbo fbo{static_cast<int>(target->handle()), target->width(), target->height(), 0};
    int flipY = 0;
    int dontBlock = 0;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
                                 {MPV_RENDER_PARAM_FLIP_Y, &flipY},
                                 {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &dontBlock},
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
