#include "TPlainMessage.h"

#include "FormKit.h"

#include <QAbstractButton>
#include <QApplication>

TPlainMessage::TPlainMessage(QMessageBox::Icon icon, const QString& text, QWidget* parent)
    : QMessageBox(icon, QApplication::applicationDisplayName(), text, QMessageBox::Ok, parent)
{
    setTextFormat(Qt::PlainText);
    setFont(ClassicFont());
    setWindowIcon(AppIcon());
    // Some styles decorate standard buttons with pictures; ours carry text only.
    if (QAbstractButton* ok = button(QMessageBox::Ok))
        ok->setIcon(QIcon());
}

void TPlainMessage::showEvent(QShowEvent* event)
{
    QMessageBox::showEvent(event);  // fixes the size
    CenterOnScreen(this);
}
