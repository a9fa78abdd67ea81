#pragma once

// Drives modal windows from inside their own nested loops, the way a user would.

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace ModalDriver {

// Runs step with the topmost modal window as soon as the event loop of the modal window
// that the caller is about to open starts turning.
inline void OnOpen(std::function<void(QWidget*)> step)
{
    QTimer::singleShot(0, qApp, [step] { step(QApplication::activeModalWidget()); });
}

// A safety net for a failing test: after the timeout every modal window still open is
// closed, so the test reports its failure instead of hanging. Owned by qApp; delete it
// when the test ends.
inline QTimer* Watchdog(int timeoutMs = 10000)
{
    auto* timer = new QTimer(qApp);
    timer->setInterval(timeoutMs);
    QObject::connect(timer, &QTimer::timeout, qApp, [timer] {
        timer->setInterval(50);
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    timer->start();
    return timer;
}

}  // namespace ModalDriver
