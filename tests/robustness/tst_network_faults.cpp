// A sender and a receiver talking through a relay that delays, cuts, bunches up or resets their bytes.
// The sender connects to the transfer port, where the relay listens; the receiver listens elsewhere.
#include "HostilePeer.h"
#include "LocalAddress.h"
#include "NetTestSupport.h"
#include "PeerPair.h"
#include "SpeedLevels.h"
#include "TcpRelay.h"

#include <QTemporaryDir>

#include <memory>

namespace {
constexpr int kTimeout = 20000;

struct RelayedPair : PeerPair {    TcpRelay Relay;

    // Shapes apply to the connection made here. Upstream carries what the sender writes.
    bool Connect(const RelayShape& upstream, const RelayShape& downstream)
    {
        Receiver->ss.setPort(0);
        Receiver->ss.Open();
        Receiver->View.ReceiveButton = QStringLiteral("Sto&p");
        Relay.Upstream = upstream;
        Relay.Downstream = downstream;
        if (!Relay.Listen(TransferPort, Receiver->ss.Socket().LocalPort()))
            return false;
        return Reconnect();
    }

    bool Reconnect()
    {
        Sender->View.Address = QStringLiteral("127.0.0.1");
        Sender->Side.Button5Click();
        return HostilePeer::WaitFor([&] { return Sender->State.Connected && Receiver->State.Connected; }, kTimeout);
    }


};
} // namespace

class tst_NetworkFaults : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // Qt opens a few descriptors of its own on first use; let that happen before counting.
        RelayedPair pair;
        QVERIFY(pair.Connect({}, {}));
        QVERIFY(WriteFile(m_dir.filePath("warm.bin"), "warm"));
        pair.Offer(m_dir.filePath("warm.bin"), m_dir.filePath("warm-saved.bin"));
        QVERIFY(pair.BothCompleted(kTimeout));
    }

    void init()
    {
        CaughtErrors().clear();
        m_descriptors = OpenDescriptors();
    }

    void cleanup()
    {
        QTRY_COMPARE_WITH_TIMEOUT(OpenDescriptors(), m_descriptors, kTimeout);
    }

    // Whatever the delay, the cutting and the bunching, and whichever speed level each side chose,
    // the file arrives byte for byte and both sides say so.
    void transfersComplete_data()
    {
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<int>("pieceBytes");
        QTest::addColumn<int>("pieceGapMs");
        QTest::addColumn<int>("holdMs");
        QTest::addColumn<int>("senderLevel");
        QTest::addColumn<int>("receiverLevel");
        QTest::addColumn<int>("size");
        QTest::newRow("no delay, 1 MB") << 0 << 0 << 0 << 0 << 3 << 3 << 1000 * 1000 + 7;
        for (int sender = MinSpeedLevel; sender <= MaxSpeedLevel; ++sender) {
            for (int receiver = MinSpeedLevel; receiver <= MaxSpeedLevel; ++receiver)
                QTest::addRow("1 ms, levels %d-%d", sender, receiver) << 1 << 0 << 0 << 0 << sender << receiver << 7001;
        }
        QTest::newRow("20 ms, levels 1-5") << 20 << 0 << 0 << 0 << 1 << 5 << 5000;
        QTest::newRow("20 ms, levels 5-1") << 20 << 0 << 0 << 0 << 5 << 1 << 5000;
        QTest::newRow("20 ms, levels 3-3") << 20 << 0 << 0 << 0 << 3 << 3 << 5000;
        // Control messages arrive split into single bytes; data arrives one byte per read.
        QTest::newRow("one byte at a time") << 0 << 1 << 1 << 0 << 3 << 3 << 300;
        QTest::newRow("7-byte pieces") << 0 << 7 << 0 << 0 << 3 << 3 << 50000;
        QTest::newRow("1 ms, 7-byte pieces") << 1 << 7 << 0 << 0 << 2 << 4 << 20000;
        // Requests pile up and leave together; blocks arrive in bunches bigger than a read takes.
        QTest::newRow("bursts, levels 5-1") << 0 << 0 << 0 << 15 << 5 << 1 << 60000;
        QTest::newRow("bursts, levels 1-5") << 0 << 0 << 0 << 15 << 1 << 5 << 60000;
    }

    void transfersComplete()
    {
        QFETCH(int, delayMs);
        QFETCH(int, pieceBytes);
        QFETCH(int, pieceGapMs);
        QFETCH(int, holdMs);
        QFETCH(int, senderLevel);
        QFETCH(int, receiverLevel);
        QFETCH(int, size);
        const RelayShape shape{delayMs, pieceBytes, pieceGapMs, holdMs};
        RelayedPair pair;
        ApplySpeedLevel(pair.Sender->Settings, senderLevel);
        ApplySpeedLevel(pair.Receiver->Settings, receiverLevel);
        QVERIFY(pair.Connect(shape, shape));

        const QString source = m_dir.filePath("source.bin");
        const QString target = m_dir.filePath("target.bin");
        QVERIFY(WriteFile(source, RandomBytes(size, quint32(size + delayMs))));
        pair.Offer(source, target);
        QVERIFY(pair.BothCompleted(kTimeout));
        QCOMPARE(FileSha256(target), FileSha256(source));
        QCOMPARE(pair.Receiver->View.Questions.size(), 1);
        QVERIFY(pair.Receiver->View.Questions[0].startsWith("SaveQuery|File name: source.bin|"));
        QCOMPARE(pair.Receiver->View.Progress, size);
        QVERIFY(CaughtErrors().isEmpty());
    }

    // The relay resets both connections after a number of bytes: inside the offer, inside the size,
    // or in the data phase. Each side ends with one error notice and a reset state, nothing is called
    // completed, and the next connection through the same relay carries a whole file.
    void resetsCutTheTransfer_data()
    {
        QTest::addColumn<QString>("where");
        QTest::newRow("inside the offer") << "offer";
        QTest::newRow("inside the size") << "size";
        QTest::newRow("in the data phase") << "data";
    }

    void resetsCutTheTransfer()
    {
        QFETCH(QString, where);
        RelayedPair pair;
        const QString source = m_dir.filePath("cut.bin");
        const QByteArray content = RandomBytes(300 * 1024, 17);
        QVERIFY(WriteFile(source, content));
        const qint64 offer = 1 + 7 + 1 + LocalAddressLength();
        const qint64 size = 1 + QByteArray::number(content.size()).size();
        pair.Relay.ResetAfterBytes = where == "offer" ? 5 : where == "size" ? offer + 1 + size - 2 : offer + 1 + size + 1 + 100000;
        QVERIFY(pair.Connect({}, {}));
        pair.Offer(source, m_dir.filePath("cut-saved.bin"));

        QVERIFY(HostilePeer::WaitFor([&] {
            return pair.Sender->View.Notices.size() == 1 && pair.Receiver->View.Notices.size() == 1;
        }, kTimeout));
        QCOMPARE(pair.Relay.Resets(), 1);
        QCOMPARE(pair.Sender->View.Notices[0].Title, QString("Error"));
        QVERIFY2(QStringList({"Can not Connect to 127.0.0.1! Try it again later.", "Transfer error !!", "Receive error !!"})
                     .contains(pair.Sender->View.LastNotice()),
                 qPrintable(pair.Sender->View.LastNotice()));
        QCOMPARE(pair.Receiver->View.Notices[0].Title, QString("Error"));
        QVERIFY2(QStringList({"Connect was terminated !", "Receive error !", "Transfer error !"})
                     .contains(pair.Receiver->View.LastNotice()),
                 qPrintable(pair.Receiver->View.LastNotice()));
        QCOMPARE(pair.Sender->View.ConnectButton, QString("&Connect"));
        QVERIFY(!pair.Sender->State.Transferring && !pair.Sender->State.FileStream);
        QVERIFY(!pair.Receiver->State.Connected && !pair.Receiver->State.Transferring && !pair.Receiver->State.FileStream);
        if (where == "offer")
            QVERIFY(pair.Receiver->View.Questions.isEmpty());
        if (where == "data")
            QVERIFY(QFileInfo(m_dir.filePath("cut-saved.bin")).size() < content.size());

        pair.Relay.ResetAfterBytes = -1;
        // An offer cut short was never asked about; its scripted answers must not serve the next one.
        pair.Receiver->View.Answers.clear();
        pair.Receiver->View.SavePaths.clear();
        pair.Sender->View.Notices.clear();
        pair.Receiver->View.Notices.clear();
        QVERIFY(pair.Reconnect());
        pair.Offer(source, m_dir.filePath("whole.bin"));
        QVERIFY(pair.BothCompleted(kTimeout));
        QCOMPARE(FileSha256(m_dir.filePath("whole.bin")), FileSha256(source));
    }

private:
    // The offer carries the sender's own address; its length decides where the offer ends.
    static qint64 LocalAddressLength() { return LocalAddress().toLocal8Bit().size(); }

    QTemporaryDir m_dir;
    int m_descriptors = 0;
};

MOXELD_NET_TEST_MAIN(tst_NetworkFaults)
#include "tst_network_faults.moc"
