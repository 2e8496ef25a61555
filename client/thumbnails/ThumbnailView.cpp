#include "ThumbnailView.h"

#include <QCoreApplication>
#include <QPainter>
#include <QQmlEngine>

namespace {

void registerThumbnailView()
{
    qmlRegisterType<ThumbnailView>("Native", 1, 0, "ThumbnailView");
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerThumbnailView)

ThumbnailView::ThumbnailView(QQuickItem *parent)
    : QQuickPaintedItem(parent)
{}

void ThumbnailView::setImage(const QImage &image)
{
    m_image = image;
    setImplicitWidth(image.width());
    setImplicitHeight(image.height());
    update();
    emit imageChanged();
}

void ThumbnailView::paint(QPainter *painter)
{
    if (!m_image.isNull())
        painter->drawImage(boundingRect(), m_image);
}
