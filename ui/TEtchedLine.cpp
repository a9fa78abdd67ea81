#include "TEtchedLine.h"

#include <QPainter>

TEtchedLine::TEtchedLine(QWidget* parent) : QWidget(parent) {}

void TEtchedLine::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int right = width() - 1;
    painter.setPen(QColor(128, 128, 128));
    painter.drawLine(0, 0, right, 0);
    painter.setPen(Qt::white);
    painter.drawLine(0, 1, right, 1);
}
