#include "TSocketNotifier.h"

#include <QEvent>

TSocketNotifier::TSocketNotifier(int fd, Type type, std::function<void()> handler, QObject* parent)
    : QSocketNotifier(fd, type, parent), m_handler(std::move(handler))
{
    setEnabled(false);
}

bool TSocketNotifier::event(QEvent* event)
{
    if (event->type() == QEvent::SockAct) {
        if (isEnabled())
            m_handler();
        return true;
    }
    return QSocketNotifier::event(event);
}
