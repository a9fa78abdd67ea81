#include "TLabel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPalette>

#include <algorithm>

TLabel::TLabel(QWidget* parent) : QLabel(parent)
{
    // File names and addresses are shown as typed, never as markup.
    setTextFormat(Qt::PlainText);
    setAutoFillBackground(false);
}

void TLabel::setText(const QString& text)
{
    QLabel::setText(text);
    FitToText();
}

void TLabel::setTextColor(const QColor& color)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Active, QPalette::WindowText, color);
    pal.setColor(QPalette::Inactive, QPalette::WindowText, color);
    setPalette(pal);
}

QColor TLabel::textColor() const
{
    return palette().color(QPalette::Active, QPalette::WindowText);
}

void TLabel::setRightEdge(int x)
{
    m_rightEdge = x;
    FitToText();
}

void TLabel::setWrapWidth(int width)
{
    m_wrapWidth = width;
    setWordWrap(width > 0);
    FitToText();
}

void TLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        FitToText();
}

void TLabel::FitToText()
{
    // Measured with the same font metrics the label paints with; QLabel's own size hint
    // adds a pixel of leading that the fixed layouts have no room for.
    const QFontMetrics metrics = fontMetrics();
    if (m_wrapWidth > 0) {
        const QRect wrapped = metrics.boundingRect(QRect(0, 0, m_wrapWidth, 1 << 20),
                                                   Qt::TextWordWrap, text());
        resize(m_wrapWidth, std::max(wrapped.height(), metrics.height()));
        return;
    }
    resize(metrics.horizontalAdvance(text()), metrics.height());
    if (m_rightEdge >= 0)
        move(m_rightEdge - width(), y());
}
