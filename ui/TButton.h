#pragma once

#include <QPushButton>

// A push button that Enter presses while it has the focus, in dialogs and plain
// windows alike. It never becomes a dialog's default button.
class TButton : public QPushButton {
    Q_OBJECT
public:
    TButton(QWidget* parent, const QString& caption);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
