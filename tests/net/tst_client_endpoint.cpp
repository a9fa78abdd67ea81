// The client endpoint against a real listening endpoint on loopback: connection attempts, the event
// order around closes, the property rules and the five operations.

#include "NetTestSupport.h"

#include <cerrno>

class TestClientEndpoint : public QObject {
    Q_OBJECT

private slots:
    void init() { CaughtErrors().clear(); }

    void refusedAttemptEndsInOneConnectErrorAndMayBeRetried();
    void addressTextFollowsTheDottedRuleWithoutNameLookup();
    void openWithoutAddressRaisesLookupErrorThenDisconnect();
    void closeWhileAttemptIsPendingLetsItComplete();
    void orderlyCloseDeliversTheLastBytesFirst();
    void programCloseRaisesDisconnectInsideTheCall();
    void propertyChangesAreRefusedWhileActive();
    void operationsOnEmptyAndUnconnectedConnections();
    void readRuleHoldsBackEventsUntilAReceive();
    void readRuleHoldsInALoopOpenedBeforeTheReceive();
    void partialWriteIsNeverCompletedLater();
    void exceptionsFromHandlersLeaveTheEndpointUsable();
};

void TestClientEndpoint::refusedAttemptEndsInOneConnectErrorAndMayBeRetried()
{
    const int port = DeadPort();
    EventLog log;
    TClientSocket cs;
    log.Watch(cs);

    StartConnect(cs, port);
    QVERIFY(!cs.Active());  // the call returns with the attempt pending
    QTRY_COMPARE(log.Lines, QStringList({"c:lookup", "c:connecting", "c:error:3"}));
    QCOMPARE(log.LastErrorCode, ECONNREFUSED);
    Drain();
    QCOMPARE(log.Lines.size(), 3);  // no disconnect event for an attempt that never connected
    QVERIFY(!cs.Active());
    QVERIFY(!cs.Socket().Connected());

    // A second open starts a new attempt at once; left unhandled, its code reaches the error box.
    log.Lines.clear();
    log.ClearErrors = false;
    cs.setActive(true);
    QTRY_COMPARE(CaughtErrors(), QStringList{QStringLiteral("Asynchronous socket error %1").arg(ECONNREFUSED)});
    QCOMPARE(log.Lines, QStringList({"c:lookup", "c:connecting", "c:error:3"}));
    QVERIFY(!cs.Active());
}

void TestClientEndpoint::addressTextFollowsTheDottedRuleWithoutNameLookup()
{
    TServerSocket ss;
    const int port = Listen(ss);

    // Short and octal/hexadecimal forms name 127.0.0.1 as the classic conversion reads them.
    for (const char* text : {"127.1", "0x7f.0.0.1", "0177.0.0.1"}) {
        TClientSocket cs;
        bool connected = false;
        cs.OnConnect = [&](TCustomWinSocket&) { connected = true; };
        StartConnect(cs, port, QString::fromLatin1(text));
        QVERIFY2(WaitUntil([&] { return connected; }), text);
        QCOMPARE(cs.Socket().RemoteAddress(), QStringLiteral("127.0.0.1"));
    }

    // A host name is never looked up: it stands for 255.255.255.255, which the platform refuses
    // (either at once, after the disconnect event, or through a connect error).
    EventLog log;
    TClientSocket cs;
    log.Watch(cs);
    const QString error = SocketErrorOf([&] { StartConnect(cs, port, QStringLiteral("localhost")); });
    if (error.isEmpty()) {
        QTRY_COMPARE(log.Lines.last(), QStringLiteral("c:error:3"));
    } else {
        QVERIFY2(error.startsWith("Windows socket error: ") && error.endsWith(", on API 'connect'"), qPrintable(error));
        QCOMPARE(log.Lines, QStringList({"c:lookup", "c:connecting", "c:disconnect"}));
    }
    Drain();
    QVERIFY(!log.Lines.contains("c:connect"));
    QCOMPARE(ss.Socket().ActiveConnections(), 0);
}

void TestClientEndpoint::openWithoutAddressRaisesLookupErrorThenDisconnect()
{
    EventLog log;
    TClientSocket cs;
    log.Watch(cs);

    cs.setActive(true);  // the handler clears the code, so nothing is raised
    QCOMPARE(log.Lines, QStringList({"c:lookup", "c:error:6", "c:disconnect"}));
    QCOMPARE(log.LastErrorCode, 1110);
    QVERIFY(!cs.Active());
    QCOMPARE(cs.Socket().SocketHandle(), -1);

    log.Lines.clear();
    log.ClearErrors = false;
    QCOMPARE(SocketErrorOf([&] { cs.setActive(true); }), QStringLiteral("No address specified"));
    QCOMPARE(log.Lines, QStringList({"c:lookup", "c:error:6", "c:disconnect"}));
    QCOMPARE(cs.Socket().SocketHandle(), -1);
}

void TestClientEndpoint::closeWhileAttemptIsPendingLetsItComplete()
{
    TServerSocket ss;
    const int port = Listen(ss);
    EventLog log;
    TClientSocket cs;
    log.Watch(cs);

    StartConnect(cs, port);
    cs.setActive(false);  // Active still reads false: nothing to close
    QCOMPARE(log.Lines, QStringList({"c:lookup", "c:connecting"}));
    QTRY_COMPARE(log.Lines, QStringList({"c:lookup", "c:connecting", "c:connect"}));
    QVERIFY(cs.Active());
    QVERIFY(cs.Socket().Connected());
}

void TestClientEndpoint::orderlyCloseDeliversTheLastBytesFirst()
{
    {
        // The client sends its last bytes and closes at once.
        ConnectedPair p;
        QVERIFY(p.Connect());
        QCOMPARE(p.cs.Socket().WriteText("last"), 4);
        p.cs.setActive(false);
        QCOMPARE(p.client.Lines, QStringList{"c:disconnect"});
        QTRY_COMPARE(p.server.Lines, QStringList({"s:read:last", "s:client-disconnect"}));
    }
    {
        // The other way round: the listening side answers and stops; its client reads, then sees the end.
        ConnectedPair p;
        QVERIFY(p.Connect());
        QCOMPARE(p.Accepted().WriteText("bye"), 3);
        p.ss.setActive(false);
        QTRY_COMPARE(p.client.Lines, QStringList({"c:read:bye", "c:disconnect"}));
        QVERIFY(!p.cs.Active());
        QCOMPARE(p.cs.Socket().SocketHandle(), -1);
        QVERIFY(p.server.Lines.isEmpty());
    }
}

void TestClientEndpoint::programCloseRaisesDisconnectInsideTheCall()
{
    ConnectedPair p;
    QVERIFY(p.Connect());

    // The read handler closes without reading; the disconnect handler runs inside that call, sees
    // Active false, and can still read what is waiting.
    p.cs.OnRead = [&](TCustomWinSocket&) {
        p.client.Lines << "c:read";
        p.cs.setActive(false);
        p.client.Lines << "c:closed";
    };
    p.cs.OnDisconnect = [&](TCustomWinSocket& s) {
        p.client.Lines << (p.cs.Active() ? "c:disconnect:active:" : "c:disconnect:inactive:") + QString::fromLatin1(s.ReadAllText());
    };
    p.Accepted().WriteText("unread");
    QTRY_COMPARE(p.client.Lines, QStringList({"c:read", "c:disconnect:inactive:unread", "c:closed"}));
    QVERIFY(!p.cs.Socket().Connected());
    QTRY_COMPARE(p.server.Lines, QStringList{"s:client-disconnect"});
    Drain();
    QCOMPARE(p.client.Lines.size(), 3);
}

void TestClientEndpoint::propertyChangesAreRefusedWhileActive()
{
    TClientSocket idle;
    idle.setAddress("10.0.0.9");
    idle.setPort(1898);
    QCOMPARE(idle.Address(), QStringLiteral("10.0.0.9"));
    QCOMPARE(idle.Port(), 1898);

    ConnectedPair p;
    p.cs.setAddress("0x7F.0.0.1");  // letters, to see that texts compare without regard to case
    p.server.Watch(p.ss);
    p.client.Watch(p.cs);
    p.Port = Listen(p.ss);
    p.cs.setPort(p.Port);
    p.cs.setActive(true);
    QTRY_VERIFY(p.cs.Active());

    QCOMPARE(SocketErrorOf([&] { p.cs.setAddress("127.0.0.2"); }), ActiveChangeMessage);
    QCOMPARE(SocketErrorOf([&] { p.cs.setPort(p.Port + 1); }), ActiveChangeMessage);
    QCOMPARE(SocketErrorOf([&] { p.cs.setHost("peer"); }), ActiveChangeMessage);
    QCOMPARE(SocketErrorOf([&] { p.cs.setService("moxeld"); }), ActiveChangeMessage);
    QCOMPARE(SocketErrorOf([&] { p.ss.setPort(p.Port + 1); }), ActiveChangeMessage);
    QCOMPARE(p.cs.Address(), QStringLiteral("0x7F.0.0.1"));
    QCOMPARE(p.cs.Port(), p.Port);

    // Setting what is already there changes nothing and raises nothing, also while active.
    QCOMPARE(SocketErrorOf([&] { p.cs.setAddress("0X7f.0.0.1"); }), QString());
    QCOMPARE(SocketErrorOf([&] { p.cs.setPort(p.Port); }), QString());
    QCOMPARE(SocketErrorOf([&] { p.cs.setHost(QString()); }), QString());
    QCOMPARE(SocketErrorOf([&] { p.ss.setPort(0); }), QString());
    QCOMPARE(p.cs.Address(), QStringLiteral("0x7F.0.0.1"));
    QVERIFY(p.cs.Active());
}

void TestClientEndpoint::operationsOnEmptyAndUnconnectedConnections()
{
    EventLog log;
    TClientSocket cs;
    log.Watch(cs);
    char buffer[8];
    QCOMPARE(cs.Socket().WriteText("1offer"), 0);
    QCOMPARE(cs.Socket().WriteBlock(buffer, sizeof buffer), 0);
    QCOMPARE(cs.Socket().BytesWaiting(), 0);
    QCOMPARE(cs.Socket().ReadBlock(buffer, sizeof buffer), 0);
    QCOMPARE(cs.Socket().ReadAllText(), QByteArray());
    QVERIFY(log.Lines.isEmpty());

    ConnectedPair p;
    QVERIFY(p.Connect());
    QCOMPARE(p.cs.Socket().ReadAllText(), QByteArray());
    QCOMPARE(p.cs.Socket().ReadBlock(buffer, sizeof buffer), -1);  // nothing ready
    QCOMPARE(p.cs.Socket().WriteText(QByteArray()), 0);

    // Zero bytes pass unchanged, and nothing is added to the text on its way.
    QByteArray received;
    p.ss.OnClientRead = [&](TCustomWinSocket& s) { received += s.ReadAllText(); };
    const QByteArray sent("7\0" "12\0", 5);
    QCOMPARE(p.cs.Socket().WriteText(sent), 5);
    QTRY_COMPARE(received, sent);
    QVERIFY(p.client.Lines.isEmpty());
}

void TestClientEndpoint::readRuleHoldsBackEventsUntilAReceive()
{
    ConnectedPair p;
    QVERIFY(p.Connect());
    int reads = 0;
    p.cs.OnRead = [&](TCustomWinSocket&) { ++reads; };  // makes no receive

    p.Accepted().WriteText("one");
    QVERIFY(WaitUntil([&] { return reads == 1; }));
    p.Accepted().WriteText("two");
    QVERIFY(WaitUntil([&] { return p.cs.Socket().BytesWaiting() == 6; }));
    Drain();
    QCOMPARE(reads, 1);  // asking how much is waiting re-arms nothing

    // A receive of part of it re-arms: the next event follows at once for what is left.
    char part[2];
    QCOMPARE(p.cs.Socket().ReadBlock(part, sizeof part), 2);
    QVERIFY(WaitUntil([&] { return reads == 2; }));
    QCOMPARE(p.cs.Socket().ReadAllText(), QByteArray("etwo"));
}

void TestClientEndpoint::readRuleHoldsInALoopOpenedBeforeTheReceive()
{
    // The read notifier stays on through a read event. A handler that runs a nested loop (a modal
    // window) before it receives must get no second event for the same bytes, and the loop must not
    // spin on them either.
    ConnectedPair p;
    QVERIFY(p.Connect());
    int reads = 0;
    int wakeUps = -1;
    QByteArray got;
    p.cs.OnRead = [&](TCustomWinSocket& s) {
        if (++reads == 1) {
            wakeUps = WakeUpsDuring(300);
            got = s.ReadAllText();
        }
    };
    p.Accepted().WriteText("one");
    QVERIFY(WaitUntil([&] { return !got.isEmpty(); }));
    QCOMPARE(reads, 1);
    QCOMPARE(got, QByteArray("one"));
    QVERIFY2(wakeUps < 30, qPrintable(QString::number(wakeUps)));

    // After the receive the next bytes raise their event as usual.
    p.Accepted().WriteText("two");
    QVERIFY(WaitUntil([&] { return reads == 2; }));
}

void TestClientEndpoint::partialWriteIsNeverCompletedLater()
{
    ConnectedPair p;
    QVERIFY(p.Connect());
    int writes = 0;
    p.cs.OnWrite = [&](TCustomWinSocket&) { ++writes; };
    qint64 received = 0;
    bool draining = false;
    p.ss.OnClientRead = [&](TCustomWinSocket& s) {
        if (draining)
            received += s.ReadAllText().size();
    };
    Drain();  // the write event owed after connecting goes by
    writes = 0;

    // The server reads nothing, so the client's sends fill the buffers until one is taken in part.
    const QByteArray block(1000003, 'x');  // an odd size, so the buffers are unlikely to fill on a block boundary
    qint64 sent = 0;
    int result = 0;
    for (int i = 0; i < 512 && (result = p.cs.Socket().WriteBlock(block.constData(), block.size())) == block.size(); ++i)
        sent += result;
    QVERIFY2(result > 0 && result < block.size(), qPrintable(QString::number(result)));
    sent += result;
    int more = 0;
    for (int i = 0; i < 64 && (more = p.cs.Socket().WriteBlock(block.constData(), block.size())) > 0; ++i)
        sent += more;
    QCOMPARE(more, -1);  // would block: nothing sent, no event, no exception
    Drain();
    QCOMPARE(writes, 0);
    QVERIFY(p.client.Lines.isEmpty());

    // Once the server reads, exactly the bytes the sends took arrive, and the owed write event comes.
    draining = true;
    received += p.Accepted().ReadAllText().size();
    QVERIFY(WaitUntil([&] { return received == sent && writes > 0; }, 20000));
    Drain();
    QCOMPARE(received, sent);
    QCOMPARE(p.Accepted().BytesWaiting(), 0);
}

void TestClientEndpoint::exceptionsFromHandlersLeaveTheEndpointUsable()
{
    ConnectedPair p;
    QVERIFY(p.Connect());

    // A read handler that fails ends that one event; the next bytes raise the next event as usual.
    p.cs.OnRead = [&](TCustomWinSocket& s) {
        const QByteArray text = s.ReadAllText();
        if (text == "bad")
            throw std::runtime_error("Cannot create file");
        p.client.Lines << "c:read:" + QString::fromLatin1(text);
    };
    p.Accepted().WriteText("bad");
    QTRY_COMPARE(CaughtErrors(), QStringList{"Cannot create file"});
    p.Accepted().WriteText("good");
    QTRY_COMPARE(p.client.Lines, QStringList{"c:read:good"});

    // A disconnect handler that fails still leaves the endpoint closed and ready for a new open.
    p.cs.OnDisconnect = [&](TCustomWinSocket&) { throw std::runtime_error("Disconnect handler failed"); };
    p.ss.setActive(false);
    QTRY_COMPARE(CaughtErrors().size(), 2);
    QCOMPARE(CaughtErrors().last(), QStringLiteral("Disconnect handler failed"));
    QVERIFY(!p.cs.Active());

    p.ss.setPort(0);
    const int port = Listen(p.ss);
    p.cs.setPort(port);
    p.client.Lines.clear();
    p.cs.setActive(true);
    QTRY_COMPARE(p.client.Lines, QStringList({"c:lookup", "c:connecting", "c:connect"}));
}

MOXELD_NET_TEST_MAIN(TestClientEndpoint)
#include "tst_client_endpoint.moc"
