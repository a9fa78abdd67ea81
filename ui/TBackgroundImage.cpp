#include "TBackgroundImage.h"

#include "Artwork.h"

#include <QPainter>

TBackgroundImage::TBackgroundImage(QWidget* parent)
    : QWidget(parent), m_texture(BackgroundTexture())
{
}

void TBackgroundImage::setTexture(const QImage& texture)
{
    m_texture = texture;
    update();
}

void TBackgroundImage::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_texture.isNull()) {
        painter.fillRect(rect(), palette().color(QPalette::Button));
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), m_texture);
}
