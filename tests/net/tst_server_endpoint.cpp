// The listening endpoint: accepting several peers, binding a taken port, stopping with peers
// connected (orderly and by reset), the release of accepted connections, and destruction.

#include "NetTestSupport.h"

#include <cerrno>
#include <memory>

class TestServerEndpoint : public QObject {
    Q_OBJECT

private slots:
    void init() { CaughtErrors().clear(); }

    void twoPeersAreAcceptedEachWithItsOwnSocket();
    void takenPortNamesBindAndStaysClosed();
    void stoppingWithUnreadBytesResetsThePeerWhichIsLeftBroken();
    void sendOnABrokenConnectionFailsWithoutKillingTheProcess();
    void stopThenListenAgainOnTheSamePort();
    void acceptedConnectionIsReleasedAfterItsDisconnectEvent();
    void destroyingEndpointsRaisesNoEvents();
};

void TestServerEndpoint::twoPeersAreAcceptedEachWithItsOwnSocket()
{
    TServerSocket ss;
    QList<TCustomWinSocket*> accepted;
    QStringList reads;
    ss.OnClientConnect = [&](TCustomWinSocket& s) { accepted << &s; };
    ss.OnClientRead = [&](TCustomWinSocket& s) {
        reads << QStringLiteral("%1:%2").arg(accepted.indexOf(&s)).arg(QString::fromLatin1(s.ReadAllText()));
    };
    const int port = Listen(ss);

    TClientSocket a;
    TClientSocket b;
    QByteArray toA;
    QByteArray toB;
    a.OnRead = [&](TCustomWinSocket& s) { toA += s.ReadAllText(); };
    b.OnRead = [&](TCustomWinSocket& s) { toB += s.ReadAllText(); };
    StartConnect(a, port);
    QVERIFY(WaitUntil([&] { return a.Active() && accepted.size() == 1; }));
    StartConnect(b, port);
    QVERIFY(WaitUntil([&] { return b.Active() && accepted.size() == 2; }));
    QCOMPARE(ss.Socket().ActiveConnections(), 2);
    QCOMPARE(ss.Socket().Connections(0), accepted[0]);
    QCOMPARE(ss.Socket().Connections(1), accepted[1]);
    QCOMPARE(accepted[0]->RemoteAddress(), QStringLiteral("127.0.0.1"));

    a.Socket().WriteText("from a");
    b.Socket().WriteText("from b");
    QTRY_COMPARE(reads.size(), 2);
    reads.sort();
    QCOMPARE(reads, QStringList({"0:from a", "1:from b"}));

    accepted[1]->WriteText("for b");
    accepted[0]->WriteText("for a");
    QTRY_VERIFY(toA == "for a" && toB == "for b");
}

void TestServerEndpoint::takenPortNamesBindAndStaysClosed()
{
    TServerSocket first;
    const int port = Listen(first);

    EventLog log;
    TServerSocket second;
    log.Watch(second);
    second.setPort(port);
    QCOMPARE(SocketErrorOf([&] { second.setActive(true); }),
             QStringLiteral("Windows socket error: Address already in use (%1), on API 'bind'").arg(EADDRINUSE));
    QVERIFY(!second.Active());
    QCOMPARE(second.Socket().SocketHandle(), -1);
    QVERIFY(log.Lines.isEmpty());

    // The failure left nothing behind: the same endpoint listens elsewhere at once.
    second.setPort(0);
    second.setActive(true);
    QVERIFY(second.Active());
    QCOMPARE(log.Lines, QStringList{"s:listen"});
    QVERIFY(first.Active());
}

// Stops the listening side while the client's bytes lie unread there, which makes the platform reset
// the connection; returns once the client has had its error event.
static bool BreakByReset(ConnectedPair& p)
{
    p.ss.OnClientRead = [&](TCustomWinSocket&) { p.server.Lines << "s:read"; };  // leaves the bytes unread
    p.cs.Socket().WriteText("unread");
    if (!WaitUntil([&] { return p.server.Lines == QStringList{"s:read"}; }))
        return false;
    p.ss.setActive(false);
    return WaitUntil([&] { return !p.client.Lines.isEmpty(); });
}

void TestServerEndpoint::stoppingWithUnreadBytesResetsThePeerWhichIsLeftBroken()
{
    ConnectedPair p;
    QVERIFY(p.Connect());
    QVERIFY(BreakByReset(p));
    QVERIFY(!p.ss.Active());
    QCOMPARE(p.ss.Socket().ActiveConnections(), 0);
    Drain();
    QCOMPARE(p.client.Lines, QStringList{"c:error:4"});  // a reset raises no disconnect event
    QCOMPARE(p.server.Lines, QStringList{"s:read"});     // and stopping raised none on the server

    // Broken: still active and connected. Only a different address is refused, and an open does nothing.
    QVERIFY(p.cs.Active());
    QVERIFY(p.cs.Socket().Connected());
    QCOMPARE(SocketErrorOf([&] { p.cs.setAddress("127.0.0.2"); }), ActiveChangeMessage);
    QCOMPARE(SocketErrorOf([&] { p.cs.setAddress("127.0.0.1"); }), QString());
    p.cs.setActive(true);
    Drain();
    QCOMPARE(p.client.Lines, QStringList{"c:error:4"});

    // Closing leaves it, with the disconnect event.
    p.cs.setActive(false);
    QCOMPARE(p.client.Lines, QStringList({"c:error:4", "c:disconnect"}));
    QVERIFY(!p.cs.Active());
    QCOMPARE(p.cs.Socket().SocketHandle(), -1);
}

void TestServerEndpoint::sendOnABrokenConnectionFailsWithoutKillingTheProcess()
{
    {
        ConnectedPair p;
        QVERIFY(p.Connect());
        QVERIFY(BreakByReset(p));
        p.client.Lines.clear();
        QCOMPARE(p.cs.Socket().WriteText("4"), -1);  // the handler cleared the code
        QCOMPARE(p.client.Lines, QStringList({"c:error:1", "c:disconnect"}));
        QCOMPARE(p.client.LastErrorCode, EPIPE);
        QVERIFY(!p.cs.Active());
        QCOMPARE(p.cs.Socket().SocketHandle(), -1);
    }
    {
        ConnectedPair p;
        QVERIFY(p.Connect());
        QVERIFY(BreakByReset(p));
        p.client.Lines.clear();
        p.client.ClearErrors = false;
        QCOMPARE(SocketErrorOf([&] { p.cs.Socket().WriteText("4"); }),
                 QStringLiteral("Windows socket error: Broken pipe (%1), on API 'send'").arg(EPIPE));
        QCOMPARE(p.client.Lines, QStringList({"c:error:1", "c:disconnect"}));
        QVERIFY(!p.cs.Active());
    }
}

void TestServerEndpoint::stopThenListenAgainOnTheSamePort()
{
    ConnectedPair p;
    QVERIFY(p.Connect());
    // Stopping first leaves this side's end of the connection waiting on the port for a while.
    p.ss.setActive(false);
    QTRY_COMPARE(p.client.Lines, QStringList{"c:disconnect"});

    p.ss.setPort(p.Port);
    QCOMPARE(SocketErrorOf([&] { p.ss.setActive(true); }), QString());
    QVERIFY(p.ss.Active());
    p.client.Lines.clear();
    p.cs.setActive(true);
    QTRY_COMPARE(p.client.Lines, QStringList({"c:lookup", "c:connecting", "c:connect"}));
    QTRY_COMPARE(p.server.Lines, QStringList({"s:listen", "s:client-connect", "s:accept"}));
}

void TestServerEndpoint::acceptedConnectionIsReleasedAfterItsDisconnectEvent()
{
    ConnectedPair p;
    QVERIFY(p.Connect());
    QPointer<TCustomWinSocket> accepted = &p.Accepted();
    int listedDuringEvent = -1;
    p.ss.OnClientDisconnect = [&](TCustomWinSocket& s) {
        listedDuringEvent = p.ss.Socket().ActiveConnections();
        p.server.Lines << "s:client-disconnect:" + QString::fromLatin1(s.ReadAllText());
    };

    p.cs.Socket().WriteText("tail");
    p.cs.setActive(false);
    QTRY_COMPARE(p.server.Lines, QStringList({"s:read:tail", "s:client-disconnect:"}));
    QCOMPARE(listedDuringEvent, 1);
    // Released once a loop reaches it: gone from the list, and destroyed.
    QTRY_VERIFY(accepted.isNull());
    QCOMPARE(p.ss.Socket().ActiveConnections(), 0);
    QVERIFY(p.ss.Active());
}

void TestServerEndpoint::destroyingEndpointsRaisesNoEvents()
{
    EventLog server;
    EventLog first;
    EventLog second;
    auto ss = std::make_unique<TServerSocket>();
    server.Watch(*ss);
    const int port = Listen(*ss);

    // A client destroyed while connected says nothing; its peer sees the connection end.
    auto cs = std::make_unique<TClientSocket>();
    first.Watch(*cs);
    StartConnect(*cs, port);
    QTRY_VERIFY(cs->Active() && ss->Socket().ActiveConnections() == 1);
    cs.reset();
    QCOMPARE(first.Lines, QStringList({"c:lookup", "c:connecting", "c:connect"}));
    QTRY_COMPARE(server.Lines.last(), QStringLiteral("s:client-disconnect"));

    // A listening endpoint destroyed with a peer connected says nothing either; the peer sees the end.
    TClientSocket other;
    second.Watch(other);
    StartConnect(other, port);
    QTRY_VERIFY(other.Active() && ss->Socket().ActiveConnections() == 1);
    server.Lines.clear();
    ss.reset();
    QVERIFY(server.Lines.isEmpty());
    QTRY_COMPARE(second.Lines.last(), QStringLiteral("c:disconnect"));
    QVERIFY(!other.Active());
}

MOXELD_NET_TEST_MAIN(TestServerEndpoint)
#include "tst_server_endpoint.moc"
