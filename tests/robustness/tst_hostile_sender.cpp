// The real sending side, connected to a peer that listens on the transfer port and answers as it likes.
#include "HostilePeer.h"
#include "NetTestSupport.h"
#include "PeerPair.h"

#include <QDir>
#include <QTemporaryDir>

#include <memory>

namespace {
constexpr int kTimeout = 10000;
const QString kCompleted = QStringLiteral("Transfer completed !!");
} // namespace

class tst_HostileSender : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_source = m_dir.filePath("source.bin");
        m_content = RandomBytes(10 * 1024 + 1, 5);
        QVERIFY(WriteFile(m_source, m_content));
        // Qt opens a few descriptors of its own on first use; let that happen before counting.
        init();
        {
            HostilePeer peer;
            QVERIFY(Connect(peer));
            QVERIFY(Offer(peer));
            QVERIFY(Complete(peer));
        }
        m_tx.reset();
    }

    void init()
    {
        CaughtErrors().clear();
        m_descriptors = OpenDescriptors();
        m_tx = std::make_unique<SenderPeer>();
    }

    void cleanup()
    {
        m_tx.reset();
        QTRY_COMPARE_WITH_TIMEOUT(OpenDescriptors(), m_descriptors, kTimeout);
    }

    // Answers nobody asked for, and a long run of junk, change nothing and draw no reply.
    void unaskedAnswers()
    {
        HostilePeer peer;
        QVERIFY(Connect(peer));
        peer.Send("3");
        peer.Send("4");
        peer.Send("6");
        peer.Send("2");
        peer.Send(QByteArray(64 * 1024, 'x') + QByteArray("\x00\xff", 2));
        QVERIFY(SenderHasRead(peer));
        QVERIFY(peer.Received.isEmpty());
        QVERIFY(m_tx->View.Notices.isEmpty());
        QVERIFY(m_tx->View.WindowsOpened.isEmpty());
        QVERIFY(m_tx->State.Connected);

        QVERIFY(Offer(peer));
        QVERIFY(Complete(peer));
        QVERIFY(CaughtErrors().isEmpty());
    }

    // "Done" before every byte went out is a broken or hostile receiver, never a completed transfer.
    void doneBeforeEverythingWasSent()
    {
        HostilePeer peer;
        QVERIFY(Connect(peer));
        QVERIFY(Offer(peer));
        QVERIFY(Accept(peer));
        peer.Send("4");
        QTRY_COMPARE_WITH_TIMEOUT(peer.Received.size(), m_announce.size() + 1024, kTimeout);
        peer.Send("6");
        QTRY_COMPARE_WITH_TIMEOUT(m_tx->View.Notices.size(), 1, kTimeout);
        QCOMPARE(m_tx->View.Notices[0].Title, QString("Error"));
        QCOMPARE(m_tx->View.LastNotice(), QString("Your friend ended the transfer before the whole file was sent !!"));
        QCOMPARE(m_tx->View.Colour, StatusColour::Red);
        QCOMPARE(m_tx->View.WindowsFinished, 1);
        QVERIFY(!m_tx->State.Transferring);
        QVERIFY(!m_tx->State.FileStream);
        // The connection stays, as after any other end of a transfer.
        QVERIFY(m_tx->State.Connected);
        peer.Received.clear();
        QVERIFY(Offer(peer));
        QVERIFY(Complete(peer));
    }

    // Thousands of requests at once, from a peer that stops reading: the sender waits for room without
    // spinning, never sends more than the file, and finishes once the peer reads again.
    void requestFloodFromAPeerThatDoesNotRead()
    {
        const QString big = m_dir.filePath("big.bin");
        const QByteArray content = RandomBytes(4 * 1024 * 1024 + 3, 9);
        QVERIFY(WriteFile(big, content));
        HostilePeer peer;
        QVERIFY(Connect(peer));
        QVERIFY(Offer(peer, big));
        QVERIFY(Accept(peer));
        peer.SetReading(false);
        peer.Send(QByteArray(10000, '4'));
        QVERIFY(SenderHasRead(peer));
        QVERIFY2(WakeUpsDuring(300) < 30, "the sender spins while the connection is full");
        QVERIFY(m_tx->State.Transferring);

        peer.SetReading(true);
        QTRY_COMPARE_WITH_TIMEOUT(peer.Received.size(), m_announce.size() + content.size(), kTimeout);
        peer.Send("6");
        QTRY_COMPARE_WITH_TIMEOUT(m_tx->View.LastNotice(), kCompleted, kTimeout);
        Drain();
        QCOMPARE(peer.Received, m_announce + content);
    }

    // The receiver going away, by reset or in order, in any phase: the sender is back to "&Connect"
    // with its file closed and a notice, never a completion, and can connect again.
    void receiverGoesAway_data()
    {
        QTest::addColumn<QString>("phase");
        QTest::addColumn<bool>("reset");
        QTest::addColumn<QStringList>("notices");
        const QStringList resetNotices{"Can not Connect to 127.0.0.1! Try it again later.", "Transfer error !!",
                                       "Receive error !!"};
        QTest::newRow("reset while idle") << "idle" << true << resetNotices;
        QTest::newRow("reset with the offer open") << "offered" << true << resetNotices;
        QTest::newRow("reset after accepting") << "accepted" << true << resetNotices;
        QTest::newRow("reset in the data phase") << "data" << true << resetNotices;
        QTest::newRow("close in the data phase") << "data" << false
                                                 << QStringList("Transfer was terminated by 127.0.0.1 !");
    }

    void receiverGoesAway()
    {
        QFETCH(QString, phase);
        QFETCH(bool, reset);
        QFETCH(QStringList, notices);
        HostilePeer peer;
        QVERIFY(Connect(peer));
        if (phase != "idle")
            QVERIFY(Offer(peer));
        if (phase == "accepted" || phase == "data")
            QVERIFY(Accept(peer));
        if (phase == "data") {
            peer.Send("4");
            QTRY_COMPARE_WITH_TIMEOUT(peer.Received.size(), m_announce.size() + 1024, kTimeout);
        }
        if (reset)
            peer.Reset();
        else
            peer.Close();
        QTRY_COMPARE_WITH_TIMEOUT(m_tx->View.ConnectButton, QString("&Connect"), kTimeout);
        QTRY_COMPARE_WITH_TIMEOUT(m_tx->View.Notices.size(), 1, kTimeout);
        QCOMPARE(m_tx->View.Notices[0].Title, QString("Error"));
        QVERIFY2(notices.contains(m_tx->View.LastNotice()), qPrintable(m_tx->View.LastNotice()));
        QVERIFY(!m_tx->State.Connected);
        QVERIFY(!m_tx->State.Transferring);
        QVERIFY(!m_tx->State.FileStream);
        QVERIFY(!m_tx->View.TransferFilesEnabled);

        HostilePeer next;
        m_tx->View.Notices.clear();
        QVERIFY(Connect(next));
        QVERIFY(Offer(next));
        QVERIFY(Complete(next));
    }

private:
    bool Connect(HostilePeer& peer)
    {
        if (!peer.Listen(TransferPort)) {
            qWarning("cannot listen on the transfer port; another program holds it");
            return false;
        }
        m_tx->View.Address = QStringLiteral("127.0.0.1");
        m_tx->Side.Button5Click();
        return peer.Accept() && HostilePeer::WaitFor([&] { return m_tx->State.Connected; });
    }

    // The sender has taken everything the peer sent.
    bool SenderHasRead(HostilePeer& peer)
    {
        return HostilePeer::WaitFor([&] { return peer.AllSent() && m_tx->cs.Socket().BytesWaiting() == 0; });
    }

    // The user picks path (the test file by default); true once the whole offer arrived.
    bool Offer(HostilePeer& peer, QString path = {})
    {
        if (path.isEmpty())
            path = m_source;
        m_tx->View.FilesToSend.enqueue(path);
        m_tx->Side.Button2Click();
        const QByteArray offer = "1" + QFileInfo(path).fileName().toLocal8Bit() + "#" + m_tx->State.SenderAddress.toLocal8Bit();
        m_announce = "7" + QByteArray::number(QFileInfo(path).size());
        if (!HostilePeer::WaitFor([&] { return peer.Received == offer; }))
            return false;
        peer.Received.clear();
        return true;
    }

    // Accepts the offer; true once the size came back and the window opened.
    bool Accept(HostilePeer& peer)
    {
        peer.Send("3");
        return HostilePeer::WaitFor([&] { return peer.Received == m_announce && m_tx->State.Transferring; });
    }

    // Accepts, asks for every block of the test file, and confirms.
    bool Complete(HostilePeer& peer)
    {
        if (!Accept(peer))
            return false;
        peer.Send(QByteArray((m_content.size() + 1023) / 1024, '4'));
        if (!HostilePeer::WaitFor([&] { return peer.Received == m_announce + m_content; }))
            return false;
        peer.Send("6");
        return HostilePeer::WaitFor([&] { return m_tx->View.LastNotice() == kCompleted; });
    }

    QTemporaryDir m_dir;
    QString m_source;
    QByteArray m_content;
    QByteArray m_announce;
    std::unique_ptr<SenderPeer> m_tx;
    int m_descriptors = 0;
};

MOXELD_NET_TEST_MAIN(tst_HostileSender)
#include "tst_hostile_sender.moc"
