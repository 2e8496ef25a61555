#pragma once

#include <QImage>
#include <QQuickPaintedItem>

// Draws one picture (a timeline thumbnail), scaled into the item.
class ThumbnailView : public QQuickPaintedItem
{
    Q_OBJECT
    Q_PROPERTY(QImage image READ image WRITE setImage NOTIFY imageChanged)

public:
    explicit ThumbnailView(QQuickItem *parent = nullptr);
    QImage image() const { return m_image; }
    void setImage(const QImage &image);
    void paint(QPainter *painter) override;

signals:
    void imageChanged();

private:
    QImage m_image;
};
