#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// Answers the real modal windows of one MOXELD process as a user would, from a script. It looks
// when the focus moves to another window, so it costs nothing while a transfer runs.
class BenchUser : public QObject {
    Q_OBJECT

public:
    explicit BenchUser(QObject* parent = nullptr);

    int SpeedLevel = 3;     // chosen in the speed window
    QString FileToSend;     // picked in the open dialog
    QString SavePath;       // picked in the save dialog; the offer is accepted when set

    // The transfer window has come up (once per window).
    std::function<void()> TransferWindowShown;
    // A notice, message box or error box is showing; called before it is answered.
    std::function<void(const QString& title, const QString& text)> NoticeShown;

private:
    void Look();
    void AnswerSoon(QWidget* window, int attemptsLeft);
    void Answer(QWidget* window);

    QPointer<QWidget> m_lastTransferWindow;
    QPointer<QWidget> m_lastAnswered;
};
