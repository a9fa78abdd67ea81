#include "TWindowDragger.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QChildEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QWidget>
#include <QWindow>

TWindowDragger* TWindowDragger::Install(QWidget* window)
{
    return new TWindowDragger(window);
}

TWindowDragger::TWindowDragger(QWidget* window) : QObject(window), m_window(window)
{
    Watch(window);
    for (QWidget* child : window->findChildren<QWidget*>())
        Watch(child);
}

void TWindowDragger::Watch(QWidget* widget)
{
    widget->removeEventFilter(this);  // never twice
    widget->installEventFilter(this);
}

bool TWindowDragger::IsDragSurface(const QWidget* widget) const
{
    if (!widget)
        return false;
    for (const QWidget* w = widget; w && w != m_window; w = w->parentWidget()) {
        if (qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLineEdit*>(w)
            || qobject_cast<const QAbstractSlider*>(w) || qobject_cast<const QProgressBar*>(w)
            || qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QComboBox*>(w)
            || qobject_cast<const QAbstractScrollArea*>(w))
            return false;
    }
    return true;
}

QWidget* TWindowDragger::HitWidget(const QMouseEvent* event) const
{
    // What lies under the pointer, not whoever the press was passed on to: a radio button
    // or progress bar ignores some presses and lets them reach the window.
    const QPoint inWindow = m_window->mapFromGlobal(event->globalPosition().toPoint());
    QWidget* hit = m_window->childAt(inWindow);
    return hit ? hit : m_window.data();
}

bool TWindowDragger::eventFilter(QObject*, QEvent* event)
{
    if (!m_window)
        return false;
    switch (event->type()) {
    case QEvent::ChildAdded: {
        auto* child = static_cast<QChildEvent*>(event)->child();
        if (child->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(child);
            Watch(widget);
            for (QWidget* inner : widget->findChildren<QWidget*>())
                Watch(inner);
        }
        return false;
    }
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton || !IsDragSurface(HitWidget(mouse)))
            return false;
        QWindow* handle = m_window->windowHandle();
        if (handle && handle->startSystemMove())
            return true;
        // No window manager to ask (bare X server, offscreen): move it ourselves.
        m_movingByHand = true;
        m_pressGlobal = mouse->globalPosition().toPoint();
        m_windowStart = m_window->pos();
        return true;
    }
    case QEvent::MouseMove: {
        if (!m_movingByHand)
            return false;
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (!(mouse->buttons() & Qt::LeftButton)) {
            m_movingByHand = false;
            return false;
        }
        m_window->move(m_windowStart + (mouse->globalPosition().toPoint() - m_pressGlobal));
        return true;
    }
    case QEvent::MouseButtonDblClick: {
        // The second press of a double click belongs to the drag surface too.
        auto* mouse = static_cast<QMouseEvent*>(event);
        return mouse->button() == Qt::LeftButton && IsDragSurface(HitWidget(mouse));
    }
    case QEvent::MouseButtonRelease: {
        if (!m_movingByHand)
            return false;
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            m_movingByHand = false;
        return true;
    }
    default:
        return false;
    }
}
