#pragma once

#include <QMessageBox>

// An application message box: one "OK" button, captioned with the application's display
// name, centred on the screen (QMessageBox only knows its size once it is shown).
class TPlainMessage : public QMessageBox {
    Q_OBJECT
public:
    TPlainMessage(QMessageBox::Icon icon, const QString& text, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
};
