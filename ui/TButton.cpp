#include "TButton.h"

#include <QKeyEvent>

TButton::TButton(QWidget* parent, const QString& caption) : QPushButton(caption, parent)
{
    // No default-button machinery: only the focused button answers Enter.
    setAutoDefault(false);
    setDefault(false);
}

void TButton::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (enter && plain && !event->isAutoRepeat()) {
        click();
        event->accept();
        return;
    }
    QPushButton::keyPressEvent(event);
}
