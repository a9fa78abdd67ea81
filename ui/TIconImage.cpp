#include "TIconImage.h"

#include <QPainter>

TIconImage::TIconImage(QWidget* parent, IconId icon)
    : QWidget(parent), m_icon(icon), m_pixmap(IconPixmap(icon))
{
}

void TIconImage::setIcon(IconId icon)
{
    m_icon = icon;
    m_pixmap = IconPixmap(icon);
    update();
}

void TIconImage::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_pixmap);
}
