#pragma once

#include "BenchUser.h"
#include "PeerResult.h"

#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <functional>

class TMainForm;

// One MOXELD process under the benchmark: the real main window, driven through its buttons, with
// its dialogs answered by a BenchUser. It reports on standard output, one line per fact.
class BenchPeer : public QObject {
    Q_OBJECT

public:
    explicit BenchPeer(TMainForm& form);

    // Listens, accepts the offer into savePath, prints "listening" and, at the end, a PeerResult.
    void StartReceiver(int level, const QString& savePath);
    // Connects to 127.0.0.1, sends filePath, prints a PeerResult at the end.
    void StartSender(int level, const QString& filePath);
    // Waits for commands on standard input, one a line: receive, connect, wait-connected,
    // accept PATH, send PATH, quit. Answers "ok", "connected" or "done".
    void StartIdle();

private:
    void ChooseLevel(int level);
    void Listen(int attemptsLeft, std::function<void()> next);
    void WhenConnected(std::function<void()> next, int attemptsLeft = 1000);
    void OnTransferWindow();
    void OnNotice(const QString& title, const QString& text);
    void OnCommand();
    void Finish(int code);
    static void Say(const QByteArray& line);

    TMainForm& m_form;
    BenchUser m_user;
    QSocketNotifier* m_commands = nullptr;
    QByteArray m_pending;
    bool m_reportResult = false;
    bool m_ready = false;  // listening or connected: from here on every notice counts
    bool m_transferring = false;
    bool m_finished = false;
    int64_t m_bytes = 0;
    double m_cpuAtStart = 0;
    long m_sleepsAtStart = 0;
    PeerResult m_result;
};
