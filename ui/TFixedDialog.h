#pragma once

#include <QDialog>

// Base of the program's small dialogs: fixed client size, close button only, classic
// font, centred on the screen when shown. Escape does nothing (no dialog has a cancel
// button); Enter is answered by the focused TButton. Closing by the close box calls reject().
class TFixedDialog : public QDialog {
    Q_OBJECT
public:
    TFixedDialog(QWidget* parent, int clientWidth, int clientHeight, const QString& caption);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
