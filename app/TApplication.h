#pragma once

#include <QApplication>

inline const QString ApplicationTitle = QStringLiteral("MOXELD");

// The application object. Every event passes through notify(), so this is the one place where an
// exception that leaves a handler (button, timer, socket event) is caught and shown in the error box;
// the loop then carries on with the next event.
class TApplication : public QApplication {
    Q_OBJECT

public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // The text the error box shows for a failure's message.
    static QString ErrorBoxText(const QString& message);
    static void ShowErrorBox(const QString& message);
};
