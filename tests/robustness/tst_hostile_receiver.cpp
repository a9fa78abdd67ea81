// The real receiving side, listening on its port, against a peer that sends whatever it likes.
#include "HostilePeer.h"
#include "NetTestSupport.h"
#include "PeerPair.h"
#include "Protocol.h"
#include "SpeedLevels.h"

#include <QDir>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <vector>

namespace {
constexpr int kTimeout = 10000;
const QString kCompleted = QStringLiteral("Transfer completed !");
const QStringList kResetNotices{QStringLiteral("Connect was terminated !"), QStringLiteral("Receive error !")};
} // namespace

class tst_HostileReceiver : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // Qt opens a few descriptors of its own on first use; let that happen before counting.
        init();
        {
            HostilePeer peer;
            QVERIFY(Connect(peer));
            QVERIFY(AcceptOffer(peer, "1warm.txt#1.2.3.4", "warm.bin"));
            QVERIFY(FinishTransfer(peer, "warm"));
        }
        m_rx.reset();
        QVERIFY(QFile::remove(m_dir.filePath("warm.bin")));
    }

    void init()
    {
        CaughtErrors().clear();
        m_descriptors = OpenDescriptors();
        m_rx = std::make_unique<ReceiverPeer>();
        const QString error = SocketErrorOf([&] { m_rx->Side.Button3Click(); });
        QVERIFY2(error.isEmpty(), qPrintable("cannot listen on the transfer port: " + error));
        QVERIFY(m_rx->ss.Active());
    }

    void cleanup()
    {
        m_rx.reset();
        // Closed connections are released from the loop; then nothing may be left open.
        QTRY_COMPARE_WITH_TIMEOUT(OpenDescriptors(), m_descriptors, kTimeout);
        QDir dir(m_dir.path());
        for (const QString& name : dir.entryList(QDir::Files))
            dir.remove(name);
    }

    // Offers with odd names and addresses: the question shows them harmlessly, the save dialog is only
    // ever offered a bare name, and the file lands where the user chose, nowhere else.
    void offersWithOddTexts_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("suggestion");
        const QString q = QStringLiteral("SaveQuery|File name: %1|From IP Address: %2");
        QTest::newRow("code only") << QByteArray("1") << q.arg("", "1") << "received file";
        QTest::newRow("hash only") << QByteArray("1#") << q.arg("", "") << "received file";
        QTest::newRow("no hash") << QByteArray("1report.txt") << q.arg("", "1report.txt") << "received file";
        QTest::newRow("parent folders") << QByteArray("1../../escape.txt#10.0.0.1")
                                        << q.arg("../../escape.txt", "10.0.0.1") << "escape.txt";
        QTest::newRow("absolute path") << QByteArray("1/etc/passwd#10.0.0.1") << q.arg("/etc/passwd", "10.0.0.1")
                                       << "passwd";
        QTest::newRow("drive path") << QByteArray("1C:\\Windows\\win.ini#10.0.0.1")
                                    << q.arg("C:\\Windows\\win.ini", "10.0.0.1") << "win.ini";
        QTest::newRow("dot dot") << QByteArray("1..#10.0.0.1") << q.arg("..", "10.0.0.1") << "received file";
        QTest::newRow("control characters") << QByteArray("1a\tb\r\nc\x1b[2J.txt#1.2.3.4\x07")
                                            << q.arg("a?b??c?[2J.txt", "1.2.3.4?") << "abc[2J.txt";
        QTest::newRow("binary") << QByteArray("1\x00\x01\x7f#\x00", 6) << q.arg("???", "?") << "received file";
        QTest::newRow("not UTF-8") << QByteArray("1caf\xe9\xff.txt#1.2.3.4")
                                   << q.arg(QString::fromUtf8("caf\uFFFD\uFFFD.txt"), "1.2.3.4")
                                   << QString::fromUtf8("caf\uFFFD\uFFFD.txt");
        QTest::newRow("reversed ending") << QByteArray("1evil\xe2\x80\xaetxt.exe#1.2.3.4")
                                         << q.arg("evil?txt.exe", "1.2.3.4")
                                         << "eviltxt.exe";
        // 64 KiB in all: both texts are cut for the window, the suggestion to a length disks take.
        const QByteArray name(40000, 'n');
        const QByteArray address(65536 - 2 - name.size(), 'a');
        QTest::newRow("64 KiB") << "1" + name + "#" + address
                                << q.arg(QString(255, 'n') + "...", QString(255, 'a') + "...") << QString(255, 'n');
    }

    void offersWithOddTexts()
    {
        QFETCH(QByteArray, message);
        QFETCH(QString, question);
        QFETCH(QString, suggestion);
        HostilePeer peer;
        QVERIFY(Connect(peer));
        QVERIFY(AcceptOffer(peer, message, "chosen.bin"));
        QCOMPARE(m_rx->View.Questions, QStringList(question));
        QCOMPARE(m_rx->View.SuggestedNames, QStringList(suggestion));
        QVERIFY(FinishTransfer(peer, "hello"));
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList("chosen.bin"));
        QVERIFY(CaughtErrors().isEmpty());
    }

    // Text that is no offer and no size (or a size nobody asked for) draws no reply, no window and no
    // file; the side then still takes a proper offer.
    void textThatIsIgnored_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("binary") << QByteArray("\x00\xff\x01garbage", 10);
        QByteArray data = RandomBytes(4096, 11);
        data[0] = 'x';
        QTest::newRow("file data before any offer") << data;
        QTest::newRow("unknown code") << QByteArray("5hello");
        QTest::newRow("answers of the other side") << QByteArray("2346");
        QTest::newRow("size before any offer") << QByteArray("75");
        QTest::newRow("huge size before any offer") << QByteArray("72147483647");
    }

    void textThatIsIgnored()
    {
        QFETCH(QByteArray, message);
        HostilePeer peer;
        QVERIFY(Connect(peer));
        QVERIFY(SendControl(peer, message));
        // Bytes a transfer would have used; none of them may be taken as file data.
        QVERIFY(SendControl(peer, "hello"));
        QVERIFY(peer.Received.isEmpty());
        QVERIFY(m_rx->View.Questions.isEmpty());
        QVERIFY(m_rx->View.WindowsOpened.isEmpty());
        QVERIFY(m_rx->View.Notices.isEmpty());
        QVERIFY(m_rx->State.ControlPhase);
        QVERIFY(CaughtErrors().isEmpty());

        QVERIFY(AcceptOffer(peer, "1fine.txt#1.2.3.4", "fine.bin"));
        QVERIFY(FinishTransfer(peer, "fine"));
    }

    // Sizes that are no positive 32-bit number stop the exchange with a readable error and no reply; a
    // proper size afterwards still starts the transfer.
    void sizeAnnouncements_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QString>("error");
        QTest::newRow("words") << QByteArray("7abc") << "'abc' is not a valid integer value";
        QTest::newRow("empty") << QByteArray("7") << "'' is not a valid integer value";
        QTest::newRow("negative") << QByteArray("7-5") << "'-5' is not a valid file size";
        QTest::newRow("zero") << QByteArray("70") << "'0' is not a valid file size";
        QTest::newRow("beyond 32 bits") << QByteArray("74294967296") << "'4294967296' is not a valid integer value";
        QTest::newRow("leading blank") << QByteArray("7 5") << "' 5' is not a valid integer value";
        QTest::newRow("control characters") << QByteArray("75\r\n") << "'5?" "?' is not a valid integer value";
        QTest::newRow("64 KiB of digits") << "7" + QByteArray(65535, '9')
                                          << "'" + QString(64, '9') + "...' is not a valid integer value";
        QTest::newRow("plus sign") << QByteArray("7+5") << QString();
    }

    void sizeAnnouncements()
    {
        QFETCH(QByteArray, message);
        QFETCH(QString, error);
        HostilePeer peer;
        QVERIFY(Connect(peer));
        QVERIFY(AcceptOffer(peer, "1a.txt#1.2.3.4", "a.bin"));
        QVERIFY(SendControl(peer, message));
        if (!error.isEmpty()) {
            QCOMPARE(CaughtErrors(), QStringList(error));
            QCOMPARE(peer.Received, QByteArray("3"));
            QVERIFY(m_rx->State.ControlPhase);
            QVERIFY(m_rx->View.WindowsOpened.isEmpty());
            QVERIFY(SendControl(peer, "75"));
        }
        QTRY_COMPARE_WITH_TIMEOUT(peer.Received, QByteArray("34"), kTimeout);
        peer.Send("hello");
        QTRY_COMPARE_WITH_TIMEOUT(m_rx->View.LastNotice(), kCompleted, kTimeout);
        QCOMPARE(peer.Received, QByteArray("346"));
        QCOMPARE(ReadAll(m_dir.filePath("a.bin")), QByteArray("hello"));
    }

    // In the data phase every byte is file data, codes included.
    void controlCodesInTheDataPhase()
    {
        HostilePeer peer;
        QVERIFY(Connect(peer));
        QVERIFY(AcceptOffer(peer, "1codes.txt#1.2.3.4", "codes.bin"));
        const QByteArray data("1#2346\x00" "72", 10);
        QVERIFY(FinishTransfer(peer, data));
        QCOMPARE(ReadAll(m_dir.filePath("codes.bin")), data);
    }

    // Data arriving faster than the buffer takes it, as from a sender at a higher level: several
    // buffers may go in one read event, yet every buffer read is answered by its own request.
    void oneRequestPerBufferRead()
    {
        ApplySpeedLevel(m_rx->Settings, 1);
        const int buffer = m_rx->Settings.ReceiveBufferSize;
        HostilePeer peer;
        QVERIFY(Connect(peer));
        QVERIFY(AcceptOffer(peer, "1lump.bin#1.2.3.4", "lump.bin"));
        const QByteArray data = RandomBytes(100 * buffer + 7, 6);
        const QByteArray before = peer.Received;
        peer.Send("7" + QByteArray::number(data.size()));
        QVERIFY(HostilePeer::WaitFor([&] { return peer.Received == before + "4"; }, kTimeout));
        peer.Send(data);
        QVERIFY(HostilePeer::WaitFor([&] { return m_rx->View.LastNotice() == kCompleted; }, kTimeout));
        QVERIFY(HostilePeer::WaitFor([&] { return peer.Received.endsWith('6'); }, kTimeout));
        // No read takes more than a buffer, and each one but the last asks for more.
        const QByteArray answers = peer.Received.mid(before.size() + 1);
        QCOMPARE(answers.count('4'), answers.size() - 1);
        QVERIFY2(answers.size() - 1 >= 100, qPrintable(QString::number(answers.size())));
        QCOMPARE(ReadAll(m_dir.filePath("lump.bin")), data);
    }

    // Offers (and a size) that pour in while the question is open are dropped, not asked one by one
    // or nested; the answer then goes to the one offer asked about.
    void floodOfOffersWhileAsking()
    {
        HostilePeer peer;
        QVERIFY(Connect(peer));
        int depth = 0;
        int deepest = 0;
        bool floodRead = false;
        m_rx->View.WhileQueryOpen = [&] {
            deepest = std::max(deepest, ++depth);
            if (depth == 1) {
                for (int i = 0; i < 2000; ++i)
                    peer.Send(i == 1000 ? QByteArray("75") : "1flood" + QByteArray::number(i) + ".txt#6.6.6.6");
                floodRead = HostilePeer::WaitFor([&] { return peer.AllSent() && ReceiverQuiet(); }, kTimeout);
            }
            --depth;
        };
        QVERIFY(AcceptOffer(peer, "1first.txt#1.2.3.4", "first.bin"));
        QVERIFY(floodRead);
        QCOMPARE(deepest, 1);
        QCOMPARE(m_rx->View.Questions.size(), 1);
        QVERIFY(m_rx->View.Questions[0].contains("first.txt"));
        m_rx->View.WhileQueryOpen = nullptr;
        QVERIFY(FinishTransfer(peer, "first"));
        QCOMPARE(ReadAll(m_dir.filePath("first.bin")), QByteArray("first"));
    }

    // A peer that connects and says nothing costs nothing: no wake-ups, no notice, until it leaves.
    void silentPeer()
    {
        HostilePeer peer;
        QVERIFY(Connect(peer));
        QCOMPARE(m_rx->View.Status, QString("Connected, waiting for transferring..."));
        QVERIFY2(WakeUpsDuring(300) < 30, "the receiver spins while its peer is silent");
        QVERIFY(m_rx->View.Notices.isEmpty());
        peer.Close();
        QTRY_COMPARE_WITH_TIMEOUT(m_rx->View.LastNotice(), QString("Disconnect...!"), kTimeout);
    }

    // A reset in any phase ends in an error notice and a side that is ready for the next peer; the
    // file of a transfer cut short keeps what arrived and nothing is reported as completed.
    void resetInEachPhase_data()
    {
        QTest::addColumn<QString>("phase");
        QTest::newRow("idle") << "idle";
        QTest::newRow("question open") << "asking";
        QTest::newRow("file accepted") << "accepted";
        QTest::newRow("data phase") << "data";
    }

    void resetInEachPhase()
    {
        QFETCH(QString, phase);
        HostilePeer peer;
        QVERIFY(Connect(peer));
        if (phase == "asking") {
            m_rx->View.WhileQueryOpen = [&] {
                peer.Reset();
                HostilePeer::WaitFor([&] { return !m_rx->View.Notices.isEmpty(); }, kTimeout);
            };
            m_rx->View.Answers.enqueue(true);
            m_rx->View.SavePaths.enqueue(m_dir.filePath("never.bin"));
            peer.Send("1never.txt#1.2.3.4");
            QTRY_COMPARE_WITH_TIMEOUT(m_rx->View.Questions.size(), 1, kTimeout);
            // Nobody is left to answer: no save dialog, no file.
            QVERIFY(m_rx->View.SuggestedNames.isEmpty());
            QVERIFY(!QFile::exists(m_dir.filePath("never.bin")));
            m_rx->View.SavePaths.clear();
        } else {
            if (phase != "idle")
                QVERIFY(AcceptOffer(peer, "1cut.txt#1.2.3.4", "cut.bin"));
            if (phase == "data") {
                QVERIFY(SendControl(peer, "7100"));
                QTRY_COMPARE_WITH_TIMEOUT(peer.Received, QByteArray("34"), kTimeout);
                peer.Send("part");
                QTRY_COMPARE_WITH_TIMEOUT(m_rx->State.BytesDone, 4, kTimeout);
            }
            peer.Reset();
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_rx->View.Notices.size(), 1, kTimeout);
        QCOMPARE(m_rx->View.Notices[0].Title, QString("Error"));
        QVERIFY2(kResetNotices.contains(m_rx->View.LastNotice()), qPrintable(m_rx->View.LastNotice()));
        QVERIFY(!m_rx->State.Connected);
        QVERIFY(!m_rx->State.Transferring);
        QVERIFY(m_rx->State.ControlPhase);
        QVERIFY(!m_rx->State.FileStream);
        if (phase == "data")
            QCOMPARE(ReadAll(m_dir.filePath("cut.bin")), QByteArray("part"));

        m_rx->View.WhileQueryOpen = nullptr;
        HostilePeer next;
        QVERIFY(Connect(next));
        QVERIFY(AcceptOffer(next, "1next.txt#1.2.3.4", "next.bin"));
        QVERIFY(FinishTransfer(next, "next"));
    }

    // Further peers are turned away while one is connected, and taken once it has left.
    void morePeersWhileOneIsConnected()
    {
        HostilePeer first;
        QVERIFY(Connect(first));
        HostilePeer second;
        HostilePeer third;
        QVERIFY(second.ConnectTo(TransferPort));
        QVERIFY(third.ConnectTo(TransferPort));
        QTRY_VERIFY_WITH_TIMEOUT(second.PeerClosed() && third.PeerClosed(), kTimeout);
        QVERIFY(m_rx->View.Notices.isEmpty());
        QVERIFY(AcceptOffer(first, "1one.txt#1.2.3.4", "one.bin"));
        QVERIFY(FinishTransfer(first, "one"));

        first.Close();
        QTRY_COMPARE_WITH_TIMEOUT(m_rx->View.LastNotice(), QString("Disconnect...!"), kTimeout);
        HostilePeer fourth;
        QVERIFY(Connect(fourth));
        QVERIFY(AcceptOffer(fourth, "1four.txt#1.2.3.4", "four.bin"));
        QVERIFY(FinishTransfer(fourth, "four"));
        QVERIFY(!fourth.PeerClosed());
    }

    // A thousand peers come and go, half of them with a reset; nothing piles up.
    void thousandConnections()
    {
        for (int i = 0; i < 1000; ++i) {
            HostilePeer peer;
            QVERIFY(Connect(peer));
            if (i % 2)
                peer.Reset();
            else
                peer.Close();
            QVERIFY2(HostilePeer::WaitFor([&] { return !m_rx->State.Connected && m_rx->View.Notices.size() == 1; }, kTimeout),
                     qPrintable(QString::number(i)));
            QCOMPARE(m_rx->View.LastNotice(), i % 2 ? QString("Connect was terminated !") : QString("Disconnect...!"));
            m_rx->View.Notices.clear();
        }
        HostilePeer last;
        QVERIFY(Connect(last));
        QVERIFY(AcceptOffer(last, "1last.txt#1.2.3.4", "last.bin"));
        QVERIFY(FinishTransfer(last, "last"));
    }

    // With every descriptor in use the pending peer cannot be accepted; the listening socket must then
    // wait quietly instead of spinning, and take the peer once descriptors are free again.
    void acceptWithoutDescriptors()
    {
        rlimit original{};
        QVERIFY(::getrlimit(RLIMIT_NOFILE, &original) == 0);
        std::vector<int> fillers;
        int highest = 0;
        for (const QString& name : QDir("/proc/self/fd").entryList(QDir::System | QDir::NoDotAndDotDot))
            highest = std::max(highest, name.toInt());
        rlimit tight = original;
        tight.rlim_cur = rlim_t(highest + 8);
        QVERIFY(::setrlimit(RLIMIT_NOFILE, &tight) == 0);
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
            fillers.push_back(fd);
        // One descriptor for the peer's own socket; the receiver gets none.
        ::close(fillers.back());
        fillers.pop_back();
        HostilePeer peer;
        const bool connected = peer.ConnectTo(TransferPort);
        const int wakeUps = WakeUpsDuring(300);
        for (int fd : fillers)
            ::close(fd);
        ::setrlimit(RLIMIT_NOFILE, &original);
        QVERIFY(connected);
        QVERIFY(!m_rx->State.Connected);
        QVERIFY2(wakeUps < 30, qPrintable(QString("%1 wake-ups while the peer could not be accepted").arg(wakeUps)));
        QTRY_VERIFY_WITH_TIMEOUT(m_rx->State.Connected, kTimeout);
        QVERIFY(AcceptOffer(peer, "1late.txt#1.2.3.4", "late.bin"));
        QVERIFY(FinishTransfer(peer, "late"));
    }

private:
    bool Connect(HostilePeer& peer)
    {
        return peer.ConnectTo(TransferPort) && HostilePeer::WaitFor([&] { return m_rx->State.Connected; }, kTimeout);
    }

    // The receiver has read everything and no control text waits for its quiet spell.
    bool ReceiverQuiet()
    {
        for (int i = 0; i < m_rx->ss.Socket().ActiveConnections(); ++i) {
            if (m_rx->ss.Socket().Connections(i)->BytesWaiting() > 0)
                return false;
        }
        return !m_rx->Side.ControlPending();
    }

    // Sends one control message and waits until the receiver has dealt with it.
    bool SendControl(HostilePeer& peer, const QByteArray& message)
    {
        peer.Send(message);
        return HostilePeer::WaitFor([&] { return peer.AllSent() && ReceiverQuiet(); }, kTimeout);
    }

    // Offers a file that the user saves as name in the test folder; true once "3" came back.
    bool AcceptOffer(HostilePeer& peer, const QByteArray& offer, const QString& name)
    {
        m_rx->View.Answers.enqueue(true);
        m_rx->View.SavePaths.enqueue(m_dir.filePath(name));
        const qsizetype before = peer.Received.size();
        peer.Send(offer);
        return HostilePeer::WaitFor([&] { return peer.Received.size() > before; }, kTimeout)
            && peer.Received.endsWith('3');
    }

    // Announces data's size, sends it when asked and waits for both ends to call it done.
    bool FinishTransfer(HostilePeer& peer, const QByteArray& data)
    {
        const QByteArray before = peer.Received;
        peer.Send("7" + QByteArray::number(data.size()));
        if (!HostilePeer::WaitFor([&] { return peer.Received == before + "4"; }, kTimeout))
            return false;
        peer.Send(data);
        return HostilePeer::WaitFor([&] { return peer.Received == before + "46"; }, kTimeout)
            && HostilePeer::WaitFor([&] { return m_rx->View.LastNotice() == kCompleted; }, kTimeout);
    }

    static QByteArray ReadAll(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
    std::unique_ptr<ReceiverPeer> m_rx;
    int m_descriptors = 0;
};

MOXELD_NET_TEST_MAIN(tst_HostileReceiver)
#include "tst_hostile_receiver.moc"
