#include "TFixedDialog.h"

#include "FormKit.h"

#include <QKeyEvent>

TFixedDialog::TFixedDialog(QWidget* parent, int clientWidth, int clientHeight,
                           const QString& caption)
    : QDialog(parent)
{
    SetupFixedWindow(this, clientWidth, clientHeight, caption, WindowButtons::CloseOnly);
}

void TFixedDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
