#include "TProgressBar.h"

#include <QStyleOptionProgressBar>
#include <QStylePainter>

#include <algorithm>

TProgressBar::TProgressBar(QWidget* parent) : QProgressBar(parent)
{
    setTextVisible(false);
    setFocusPolicy(Qt::NoFocus);
}

int TProgressBar::FilledWidth(int position) const
{
    const qint64 span = qint64(maximum()) - minimum();
    if (span <= 0)
        return position >= maximum() ? width() : 0;
    const qint64 done = std::clamp<qint64>(qint64(position) - minimum(), 0, span);
    return static_cast<int>(done * width() / span);
}

void TProgressBar::SetPosition(int position)
{
    m_position = position;
    const int filled = FilledWidth(position);
    if (filled != m_paintedWidth) {
        m_paintedWidth = filled;
        update();
    }
}

void TProgressBar::resizeEvent(QResizeEvent* event)
{
    m_paintedWidth = FilledWidth(m_position);
    QProgressBar::resizeEvent(event);
}

void TProgressBar::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionProgressBar option;
    initStyleOption(&option);
    option.progress = std::clamp(m_position, minimum(), maximum());
    painter.drawControl(QStyle::CE_ProgressBar, option);
}
