#pragma once

// Shared by the socket-layer suites: real endpoints on 127.0.0.1 (port 0 throughout), an application
// object that catches what leaves a handler as the program's does, and event-driven waits.

#include "../support/WaitUntil.h"
#include "ESocketError.h"
#include "TClientSocket.h"
#include "TServerSocket.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <QtTest>

#include <exception>
#include <functional>

// Records the message of every exception that leaves an event handler; the loop then goes on.
class RecordingApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& error) {
            Errors << QString::fromLocal8Bit(error.what());
        }
        return false;
    }

    QStringList Errors;
};

inline QStringList& CaughtErrors()
{
    return static_cast<RecordingApplication*>(QCoreApplication::instance())->Errors;
}

#define MOXELD_NET_TEST_MAIN(TestClass)              \
    int main(int argc, char** argv)                  \
    {                                                \
        RecordingApplication app(argc, argv);        \
        TestClass test;                              \
        return QTest::qExec(&test, argc, argv);      \
    }

// Lets everything already pending run, so that a "nothing more happens" check means something.
inline void Drain()
{
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
}

// How often the loop woke up during a quiet spell of ms milliseconds. A notifier left enabled with
// nothing to deliver makes this run into the thousands.
inline int WakeUpsDuring(int ms)
{
    auto* dispatcher = QAbstractEventDispatcher::instance();
    int wakeUps = 0;
    const auto counter = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, [&] { ++wakeUps; });
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(counter);
    return wakeUps;
}

inline int OpenDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size());
}

// The message of the ESocketError that call raises, or "" when it raises none.
template <class Call>
QString SocketErrorOf(Call&& call)
{
    try {
        call();
    } catch (const ESocketError& error) {
        return QString::fromLocal8Bit(error.what());
    }
    return {};
}

inline const QString ActiveChangeMessage = QStringLiteral("Can't change value while socket is active");

// Every event of the endpoints it watches, one short line each, in order ("c:read:hi", "s:error:4").
// Read handlers read everything waiting; error handlers clear the code, as the program's handlers do.
// Write events are left out: they come whenever the platform can take data.
struct EventLog {
    QStringList Lines;
    bool ClearErrors = true;
    int LastErrorCode = 0;

    void Watch(TClientSocket& cs)
    {
        cs.OnLookup = [this](TCustomWinSocket&) { Lines << QStringLiteral("c:lookup"); };
        cs.OnConnecting = [this](TCustomWinSocket&) { Lines << QStringLiteral("c:connecting"); };
        cs.OnConnect = [this](TCustomWinSocket&) { Lines << QStringLiteral("c:connect"); };
        cs.OnDisconnect = [this](TCustomWinSocket&) { Lines << QStringLiteral("c:disconnect"); };
        cs.OnRead = [this](TCustomWinSocket& s) { Lines << QStringLiteral("c:read:") + QString::fromLatin1(s.ReadAllText()); };
        cs.OnError = [this](TCustomWinSocket&, TErrorEvent kind, int& code) { Error(QStringLiteral("c"), kind, code); };
    }

    void Watch(TServerSocket& ss)
    {
        ss.OnListen = [this](TCustomWinSocket&) { Lines << QStringLiteral("s:listen"); };
        ss.OnClientConnect = [this](TCustomWinSocket&) { Lines << QStringLiteral("s:client-connect"); };
        ss.OnAccept = [this](TCustomWinSocket&) { Lines << QStringLiteral("s:accept"); };
        ss.OnClientDisconnect = [this](TCustomWinSocket&) { Lines << QStringLiteral("s:client-disconnect"); };
        ss.OnClientRead = [this](TCustomWinSocket& s) { Lines << QStringLiteral("s:read:") + QString::fromLatin1(s.ReadAllText()); };
        ss.OnClientError = [this](TCustomWinSocket&, TErrorEvent kind, int& code) { Error(QStringLiteral("s"), kind, code); };
    }

private:
    void Error(const QString& side, TErrorEvent kind, int& code)
    {
        Lines << QStringLiteral("%1:error:%2").arg(side).arg(int(kind));
        LastErrorCode = code;
        if (ClearErrors)
            code = 0;
    }
};

// Starts ss listening on a free port; returns the port.
inline int Listen(TServerSocket& ss)
{
    ss.setPort(0);
    ss.setActive(true);
    return ss.Socket().LocalPort();
}

inline void StartConnect(TClientSocket& cs, int port, const QString& address = QStringLiteral("127.0.0.1"))
{
    cs.setAddress(address);
    cs.setPort(port);
    cs.setActive(true);
}

// A loopback port where nobody listens (it was free a moment ago).
inline int DeadPort()
{
    TServerSocket probe;
    const int port = Listen(probe);
    probe.setActive(false);
    return port;
}

// A listening endpoint and a client connected to it, each with its own log. The logs are declared
// first so that they outlive the endpoints, whose handlers write to them.
struct ConnectedPair {
    EventLog server;
    EventLog client;
    TServerSocket ss;
    TClientSocket cs;
    int Port = 0;

    // Listens, connects, and waits until both ends have seen the connection; the logs then start empty.
    bool Connect()
    {
        server.Watch(ss);
        client.Watch(cs);
        Port = Listen(ss);
        StartConnect(cs, Port);
        const bool up = WaitUntil([this] {
            return client.Lines.contains(QStringLiteral("c:connect")) && server.Lines.contains(QStringLiteral("s:accept"));
        });
        server.Lines.clear();
        client.Lines.clear();
        return up && cs.Active() && ss.Socket().ActiveConnections() == 1;
    }

    TCustomWinSocket& Accepted() { return *ss.Socket().Connections(0); }
};

// Shows a modal dialog as the program's notices do, and runs inside() from the dialog's own loop.
// A safety timeout closes it; returns false when that happened.
inline bool RunModal(const std::function<void(QDialog&)>& inside, int timeoutMs = 5000)
{
    QDialog dialog;
    bool timedOut = false;
    QMetaObject::invokeMethod(&dialog, [&] { inside(dialog); }, Qt::QueuedConnection);
    QTimer::singleShot(timeoutMs, &dialog, [&] {
        timedOut = true;
        dialog.reject();
    });
    dialog.exec();
    return !timedOut;
}
