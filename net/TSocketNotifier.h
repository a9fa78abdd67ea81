#pragma once

#include <QSocketNotifier>

#include <functional>

// A socket notifier that calls its handler straight from its event, not through a signal, so an
// exception from a handler travels only through the event delivery that the application catches.
class TSocketNotifier : public QSocketNotifier {
    Q_OBJECT

public:
    TSocketNotifier(int fd, Type type, std::function<void()> handler, QObject* parent);

protected:
    bool event(QEvent* event) override;

private:
    std::function<void()> m_handler;
};
