// Lifetime under re-entry: events that arrive while a handler's modal window is open, endpoints
// closed from inside such a window, the release of a connection a handler still holds, idle loops,
// and descriptors over many connections.

#include "NetTestSupport.h"

class TestSocketLifetime : public QObject {
    Q_OBJECT

private slots:
    void init() { CaughtErrors().clear(); }

    void readEventsKeepArrivingWhileAModalWindowIsOpen();
    void closingTheClientFromAModalWindowOfItsReadHandler();
    void releaseWaitsForTheHandlerThatHoldsTheConnection();
    void stoppingTheListenerFromAModalWindowOfAClientHandler();
    void idleConnectionsDoNotKeepTheLoopAwake();
    void descriptorsDoNotLeakOverManyConnections();
};

void TestSocketLifetime::readEventsKeepArrivingWhileAModalWindowIsOpen()
{
    ConnectedPair p;
    QVERIFY(p.Connect());
    QStringList order;
    QDialog* open = nullptr;
    p.cs.OnRead = [&](TCustomWinSocket& s) {
        const QByteArray text = s.ReadAllText();
        order << "read:" + QString::fromLatin1(text);
        if (text == "first") {
            // The peer's next bytes arrive while this handler's window is open.
            const bool closedByEvent = RunModal([&](QDialog& dialog) {
                open = &dialog;
                p.Accepted().WriteText("second");
            });
            open = nullptr;
            order << (closedByEvent ? "closed" : "timed out");
        } else if (open) {
            open->accept();
        }
    };
    p.Accepted().WriteText("first");
    QTRY_COMPARE(order, QStringList({"read:first", "read:second", "closed"}));
}

void TestSocketLifetime::closingTheClientFromAModalWindowOfItsReadHandler()
{
    ConnectedPair p;
    QVERIFY(p.Connect());
    QStringList order;
    p.cs.OnDisconnect = [&](TCustomWinSocket&) { order << (p.cs.Active() ? "disconnect:active" : "disconnect"); };
    p.cs.OnRead = [&](TCustomWinSocket& s) {
        order << "read:" + QString::fromLatin1(s.ReadAllText());
        QVERIFY(RunModal([&](QDialog& dialog) {
            p.cs.setActive(false);  // as a Cancel button in that window would
            order << "closed";
            dialog.accept();
        }));
        // The handler goes on after its window; the connection is closed and takes nothing more.
        order << QStringLiteral("after:%1:%2").arg(s.Connected()).arg(s.WriteText("late"));
    };
    p.Accepted().WriteText("first");
    QTRY_COMPARE(order, QStringList({"read:first", "disconnect", "closed", "after:0:0"}));
    QTRY_COMPARE(p.server.Lines, QStringList{"s:client-disconnect"});
    Drain();
    QCOMPARE(order.size(), 4);
}

void TestSocketLifetime::releaseWaitsForTheHandlerThatHoldsTheConnection()
{
    ConnectedPair p;
    QVERIFY(p.Connect());
    QPointer<TCustomWinSocket> held;
    p.ss.OnClientRead = [&](TCustomWinSocket& s) {
        s.ReadAllText();
        held = &s;
        QVERIFY(RunModal([&](QDialog& dialog) {
            // The peer leaves while this window is open. Its disconnect event, and the release that
            // follows it, are both reached by this window's loop before the window closes.
            p.ss.OnClientDisconnect = [&](TCustomWinSocket&) {
                p.server.Lines << "s:client-disconnect";
                QMetaObject::invokeMethod(&dialog, [&] {
                    QMetaObject::invokeMethod(&dialog, [&] {
                        QMetaObject::invokeMethod(&dialog, &QDialog::accept, Qt::QueuedConnection);
                    }, Qt::QueuedConnection);
                }, Qt::QueuedConnection);
            };
            p.cs.setActive(false);
        }));
        p.server.Lines << (held ? QStringLiteral("after:alive:%1").arg(s.WriteText("late")) : QStringLiteral("after:gone"));
    };
    p.cs.Socket().WriteText("x");
    QTRY_COMPARE(p.server.Lines, QStringList({"s:client-disconnect", "after:alive:0"}));
    QTRY_VERIFY(held.isNull());
    QCOMPARE(p.ss.Socket().ActiveConnections(), 0);
}

void TestSocketLifetime::stoppingTheListenerFromAModalWindowOfAClientHandler()
{
    ConnectedPair p;
    QVERIFY(p.Connect());
    p.ss.OnClientRead = [&](TCustomWinSocket& s) {
        s.ReadAllText();
        QVERIFY(RunModal([&](QDialog& dialog) {
            p.ss.setActive(false);
            dialog.accept();
        }));
        p.server.Lines << QStringLiteral("after:%1").arg(p.ss.Socket().ActiveConnections());
    };
    p.cs.Socket().WriteText("x");
    QTRY_COMPARE(p.server.Lines, QStringList{"after:0"});  // no client-disconnect event
    QTRY_COMPARE(p.client.Lines, QStringList{"c:disconnect"});
    Drain();
    QCOMPARE(p.server.Lines, QStringList{"after:0"});
    QVERIFY(!p.ss.Active());
}

void TestSocketLifetime::idleConnectionsDoNotKeepTheLoopAwake()
{
    // A notifier left enabled with nothing owed wakes the loop thousands of times in this spell.
    constexpr int spellMs = 300;
    constexpr int busy = 30;
    ConnectedPair p;
    QVERIFY(p.Connect());
    Drain();
    int wakeUps = WakeUpsDuring(spellMs);
    QVERIFY2(wakeUps < busy, qPrintable(QString::number(wakeUps)));

    // Bytes left unread after their read event keep nothing awake either.
    int reads = 0;
    p.cs.OnRead = [&](TCustomWinSocket&) { ++reads; };
    p.Accepted().WriteText("unread");
    QVERIFY(WaitUntil([&] { return reads == 1; }));
    wakeUps = WakeUpsDuring(spellMs);
    QVERIFY2(wakeUps < busy, qPrintable(QString::number(wakeUps)));
    QCOMPARE(reads, 1);

    // Nor does a listening endpoint, or a client whose attempt failed.
    TClientSocket failed;
    bool refused = false;
    failed.OnError = [&](TCustomWinSocket&, TErrorEvent, int& code) {
        refused = true;
        code = 0;
    };
    StartConnect(failed, DeadPort());
    QVERIFY(WaitUntil([&] { return refused; }));
    wakeUps = WakeUpsDuring(spellMs);
    QVERIFY2(wakeUps < busy, qPrintable(QString::number(wakeUps)));
}

void TestSocketLifetime::descriptorsDoNotLeakOverManyConnections()
{
    const int deadPort = DeadPort();
    TServerSocket ss;
    const int port = Listen(ss);
    TClientSocket cs;
    bool refused = false;
    cs.OnError = [&](TCustomWinSocket&, TErrorEvent, int& code) {
        refused = true;
        code = 0;
    };
    const int before = OpenDescriptors();

    // Every tenth attempt goes where nobody listens; the last one is such a failure too.
    for (int i = 0; i < 1000; ++i) {
        if (i % 10 == 9) {
            refused = false;
            StartConnect(cs, deadPort);
            QVERIFY2(WaitUntil([&] { return refused; }), qPrintable(QString::number(i)));
            continue;
        }
        StartConnect(cs, port);
        QVERIFY2(WaitUntil([&] { return cs.Active() && ss.Socket().ActiveConnections() == 1; }), qPrintable(QString::number(i)));
        cs.setActive(false);
        QVERIFY2(WaitUntil([&] { return ss.Socket().ActiveConnections() == 0; }), qPrintable(QString::number(i)));
    }
    QCOMPARE(OpenDescriptors(), before);
    QVERIFY(CaughtErrors().isEmpty());
}

MOXELD_NET_TEST_MAIN(TestSocketLifetime)
#include "tst_socket_lifetime.moc"
