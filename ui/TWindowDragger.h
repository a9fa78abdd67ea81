#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>

class QMouseEvent;
class QWidget;

// Lets the user move a window by pressing on its background: a left press on the window
// itself or on a label, picture or line (anything that is not a push button, radio
// button, edit box, slider or progress bar) starts a move. The window manager does the
// move when it can; without one the window follows the mouse until the button is released.
// Such presses are swallowed, so labels and pictures never see them.
class TWindowDragger : public QObject {
    Q_OBJECT
public:
    // Watches window and every descendant, including ones added later. Owned by window.
    static TWindowDragger* Install(QWidget* window);

    bool IsMovingByHand() const { return m_movingByHand; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit TWindowDragger(QWidget* window);
    void Watch(QWidget* widget);
    bool IsDragSurface(const QWidget* widget) const;
    QWidget* HitWidget(const QMouseEvent* event) const;

    QPointer<QWidget> m_window;
    bool m_movingByHand = false;
    QPoint m_pressGlobal;
    QPoint m_windowStart;
};
