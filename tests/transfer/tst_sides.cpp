// The sending and receiving sides against each other over loopback, each behind a scripted view.
#include "PeerPair.h"

#include "ESocketError.h"
#include "SpeedLevels.h"

#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

namespace {
constexpr int kTimeout = 20000;

// The receiver listens and the sender is connected to it.
struct Connected : PeerPair {
    bool Connect()
    {
        Receiver->View.ReceiveButton = QStringLiteral("&Receive");
        try {
            Receiver->Side.Button3Click();
        } catch (const ESocketError& error) {
            qWarning("cannot listen on the transfer port: %s", error.what());
            return false;
        }
        Sender->View.Address = QStringLiteral("127.0.0.1");
        Sender->Side.Button5Click();
        return QTest::qWaitFor([&] { return Sender->State.Connected && Receiver->State.Connected; }, kTimeout);
    }

};
} // namespace

class tst_Sides : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_dir.isValid()); }

    void filesArriveByteIdentical_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("senderLevel");
        QTest::addColumn<int>("receiverLevel");
        QTest::newRow("1 byte") << 1 << 0 << 0;
        QTest::newRow("1023") << 1023 << 0 << 0;
        QTest::newRow("1024, one block") << 1024 << 0 << 0;
        QTest::newRow("1025, two blocks") << 1025 << 0 << 0;
        QTest::newRow("three blocks") << 3 * 1024 << 0 << 0;
        QTest::newRow("3 MB") << 3 * 1024 * 1024 + 7 << 0 << 0;
        QTest::newRow("sender 5, receiver 1") << 1000 * 1000 + 3 << 5 << 1;
        QTest::newRow("sender 1, receiver 5") << 300 * 1000 + 1 << 1 << 5;
    }

    void filesArriveByteIdentical()
    {
        QFETCH(int, size);
        QFETCH(int, senderLevel);
        QFETCH(int, receiverLevel);
        Connected pair;
        if (senderLevel)
            ApplySpeedLevel(pair.Sender->Settings, senderLevel);
        if (receiverLevel)
            ApplySpeedLevel(pair.Receiver->Settings, receiverLevel);
        QVERIFY(pair.Connect());
        QCOMPARE(pair.Sender->View.Status, QString("Connect successfully, you can transfer your file now !"));
        QCOMPARE(pair.Sender->View.ConnectButton, QString("&Disconnect"));
        QVERIFY(pair.Sender->View.TransferFilesEnabled);
        QVERIFY(!pair.Sender->View.ReceiveModeEnabled);
        QCOMPARE(pair.Receiver->View.Status, QString("Connected, waiting for transferring..."));

        const QString source = m_dir.filePath("source.bin");
        const QString target = m_dir.filePath("target.bin");
        QVERIFY(WriteFile(source, RandomBytes(size, size)));
        pair.Offer(source, target);
        QCOMPARE(pair.Sender->View.Status, QString("Waiting for your friend to respond ..."));

        QTRY_COMPARE_WITH_TIMEOUT(pair.Sender->View.LastNotice(), QString("Transfer completed !!"), kTimeout);
        QTRY_COMPARE_WITH_TIMEOUT(pair.Receiver->View.LastNotice(), QString("Transfer completed !"), kTimeout);
        QCOMPARE(FileSha256(target), FileSha256(source));
        QCOMPARE(QFileInfo(target).size(), qint64(size));

        const ScriptedView& sent = pair.Sender->View;
        QCOMPARE(pair.Receiver->View.Questions,
                 QStringList("SaveQuery|File name: source.bin|From IP Address: " + pair.Sender->State.SenderAddress));
        QCOMPARE(sent.WindowsOpened.size(), 1);
        QCOMPARE(sent.WindowsOpened[0].FileName, source);
        QCOMPARE(sent.WindowsOpened[0].FileSize, size);
        QCOMPARE(sent.WindowsOpened[0].ToAddress, QString("127.0.0.1"));
        QCOMPARE(pair.Receiver->View.WindowsOpened[0].FileName, QString("source.bin"));
        QCOMPARE(sent.WindowsFinished, 1);
        QCOMPARE(pair.Receiver->View.WindowsFinished, 1);
        // One block per request, each taken whole on loopback, and the bar ends at the size.
        const int blockSize = pair.Sender->Settings.BlockSize;
        QCOMPARE(sent.ProgressCalls, (size + blockSize - 1) / blockSize);
        QCOMPARE(sent.Progress, size);
        QCOMPARE(pair.Receiver->View.Progress, size);
        // Both sides are ready for the next file on the same connection.
        QVERIFY(pair.Sender->State.Connected);
        QVERIFY(!pair.Sender->State.Transferring);
        QVERIFY(!pair.Sender->State.FileStream);
        QVERIFY(pair.Receiver->State.ControlPhase);
        QCOMPARE(pair.Receiver->State.BytesDone, 0);
        QVERIFY(!pair.Receiver->State.FileStream);
    }

    void refusalAndCancelledSaveKeepTheConnection()
    {
        Connected pair;
        QVERIFY(pair.Connect());
        const QString source = m_dir.filePath("a.txt");
        QVERIFY(WriteFile(source, "hello"));

        pair.Sender->View.FilesToSend.enqueue(source);
        pair.Receiver->View.Answers.enqueue(false);
        pair.Sender->Side.Button2Click();
        QTRY_COMPARE_WITH_TIMEOUT(pair.Sender->View.LastNotice(), QString("Your friend refused your file !!"), kTimeout);
        QCOMPARE(pair.Sender->View.Status, QString("Transfer refused , Ready again..."));
        QCOMPARE(pair.Sender->View.Colour, StatusColour::Red);
        QCOMPARE(pair.Receiver->View.Status, QString("You refused this transfer..."));

        pair.Sender->View.FilesToSend.enqueue(source);
        pair.Receiver->View.Answers.enqueue(true);  // then the save dialog is cancelled
        pair.Sender->Side.Button2Click();
        QTRY_COMPARE_WITH_TIMEOUT(pair.Sender->View.Notices.size(), 2, kTimeout);
        QCOMPARE(pair.Sender->View.LastNotice(), QString("Your friend refused your file !!"));
        QCOMPARE(pair.Receiver->View.Status, QString("You canceled this transfer..."));

        const QString target = m_dir.filePath("saved.txt");
        pair.Offer(source, target);
        QTRY_COMPARE_WITH_TIMEOUT(pair.Receiver->View.LastNotice(), QString("Transfer completed !"), kTimeout);
        QCOMPARE(FileSha256(target), FileSha256(source));
    }

    void filesThatCannotBeOffered()
    {
        Connected pair;
        QVERIFY(pair.Connect());
        const QString empty = m_dir.filePath("empty.txt");
        QVERIFY(WriteFile(empty, QByteArray()));
        pair.Sender->View.FilesToSend.enqueue(empty);
        pair.Sender->Side.Button2Click();
        QCOMPARE(pair.Sender->View.PlainMessages, QStringList(empty + " Size is Zero!"));

        // 2 GiB does not fit the size field; a sparse file costs no disk.
        const QString huge = m_dir.filePath("huge.bin");
        {
            QFile file(huge);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.resize(qint64(1) << 31));
        }
        pair.Sender->View.FilesToSend.enqueue(huge);
        pair.Sender->Side.Button2Click();
        QCOMPARE(pair.Sender->View.Notices.size(), 1);
        QCOMPARE(pair.Sender->View.Notices[0].Title, QString("Error"));
        QVERIFY(pair.Sender->View.LastNotice().contains("huge.bin"));

        pair.Sender->View.FilesToSend.enqueue(m_dir.filePath("missing.txt"));
        pair.Sender->Side.Button2Click();
        QCOMPARE(pair.Sender->View.Notices.size(), 2);
        QVERIFY(pair.Sender->View.LastNotice().contains("missing.txt"));

        // None of these reached the receiver.
        QTest::qWait(50);
        QVERIFY(pair.Receiver->View.Questions.isEmpty());
    }

    void offeredNamesOnlySuggest()
    {
        Connected pair;
        QVERIFY(pair.Connect());
        // A name with "#" is cut at it; a name with path parts never leaves the chosen folder.
        const QString hashed = m_dir.filePath("a#b.txt");
        QVERIFY(WriteFile(hashed, "x"));
        pair.Sender->View.FilesToSend.enqueue(hashed);
        pair.Sender->Side.Button2Click();
        QTRY_COMPARE_WITH_TIMEOUT(pair.Receiver->View.Questions.size(), 1, kTimeout);
        QVERIFY(pair.Receiver->View.Questions[0].startsWith("SaveQuery|File name: a|From IP Address: b.txt#"));
        QTRY_COMPARE_WITH_TIMEOUT(pair.Sender->View.Notices.size(), 1, kTimeout);

        // Write the hostile offer on the wire as a peer might.
        pair.Receiver->View.Answers.enqueue(true);
        pair.Sender->cs.Socket().WriteText("1../../x#10.0.0.1");
        QTRY_COMPARE_WITH_TIMEOUT(pair.Receiver->View.SuggestedNames.size(), 1, kTimeout);
        QCOMPARE(pair.Receiver->View.SuggestedNames[0], QString("x"));
    }

    void writeFailureIsNotReportedAsCompleted()
    {
        Connected pair;
        QVERIFY(pair.Connect());
        const QString source = m_dir.filePath("big.bin");
        QVERIFY(WriteFile(source, RandomBytes(200 * 1024, 7)));
        pair.Offer(source, "/dev/full");
        QTRY_COMPARE_WITH_TIMEOUT(pair.Receiver->View.Notices.size(), 1, kTimeout);
        QCOMPARE(pair.Receiver->View.Notices[0].Title, QString("Error"));
        QVERIFY(pair.Receiver->View.LastNotice().contains("/dev/full"));
        QCOMPARE(pair.Receiver->View.Colour, StatusColour::Red);
        QCOMPARE(pair.Receiver->View.WindowsFinished, 1);
        QTRY_COMPARE_WITH_TIMEOUT(pair.Sender->View.LastNotice(), QString("Transfer was terminated by 127.0.0.1 !"), kTimeout);
        QCOMPARE(pair.Sender->View.Status, QString("Disconnect to 127.0.0.1..."));
        // Still listening for the next sender.
        QCOMPARE(pair.Receiver->View.ReceiveButton, QString("Sto&p"));
        QVERIFY(pair.Receiver->ss.Active());
    }

    // The receiver's file is buffered: a file small enough to sit in the buffer until the end still
    // fails there, and the end is not reported as completed.
    void writeFailureAtTheEndIsNotReportedAsCompleted()
    {
        Connected pair;
        QVERIFY(pair.Connect());
        const QString source = m_dir.filePath("small.bin");
        QVERIFY(WriteFile(source, RandomBytes(1000, 8)));
        pair.Offer(source, "/dev/full");
        QTRY_COMPARE_WITH_TIMEOUT(pair.Receiver->View.Notices.size(), 1, kTimeout);
        QCOMPARE(pair.Receiver->View.Notices[0].Title, QString("Error"));
        QVERIFY(pair.Receiver->View.LastNotice().contains("/dev/full"));
        QCOMPARE(pair.Receiver->View.WindowsFinished, 1);
        QTRY_COMPARE_WITH_TIMEOUT(pair.Sender->View.LastNotice(), QString("Transfer was terminated by 127.0.0.1 !"), kTimeout);
    }

    void disconnectsInEachPhase()
    {
        // Sender disconnects while idle.
        {
            Connected pair;
            QVERIFY(pair.Connect());
            pair.Sender->Side.Button5Click();
            QCOMPARE(pair.Sender->View.ConnectButton, QString("&Connect"));
            QCOMPARE(pair.Sender->View.Status, QString("Disconnect to 127.0.0.1..."));
            QVERIFY(pair.Sender->View.Notices.isEmpty());
            QTRY_COMPARE_WITH_TIMEOUT(pair.Receiver->View.LastNotice(), QString("Disconnect...!"), kTimeout);
            QCOMPARE(pair.Receiver->View.Status, QString("Your friend disconnected..."));
            QVERIFY(!pair.Receiver->State.Connected);
        }
        // Receiver stops while idle: the sender sees the connection close, with no notice.
        {
            Connected pair;
            QVERIFY(pair.Connect());
            pair.Receiver->Side.Button3Click();
            QCOMPARE(pair.Receiver->View.Status, QString("Welcome to use the MOXELD to Pellwick  !"));
            QVERIFY(pair.Receiver->View.Notices.isEmpty());
            QTRY_COMPARE_WITH_TIMEOUT(pair.Sender->View.Status, QString("Disconnect to 127.0.0.1..."), kTimeout);
            QVERIFY(pair.Sender->View.Notices.isEmpty());
        }
    }

    void cancelDuringTheDataPhase()
    {
        const QString source = m_dir.filePath("long.bin");
        QVERIFY(WriteFile(source, RandomBytes(8 * 1024 * 1024, 3)));

        // Sending side: Cancel answered yes closes the connection quietly; the receiver is told.
        {
            Connected pair;
            QVERIFY(pair.Connect());
            pair.Offer(source, m_dir.filePath("part1.bin"));
            QTRY_VERIFY_WITH_TIMEOUT(pair.Sender->State.BytesDone > 0, kTimeout);
            pair.Sender->Side.CancelTransfer();
            QVERIFY(pair.Sender->View.Notices.isEmpty());
            QCOMPARE(pair.Sender->View.ConnectButton, QString("&Connect"));
            // Requests still unread on the closed side turn the close into a reset.
            QTRY_COMPARE_WITH_TIMEOUT(pair.Receiver->View.Notices.size(), 1, kTimeout);
            const QString notice = pair.Receiver->View.LastNotice();
            QVERIFY2(notice.startsWith("Trnsfer was terminated by ") || notice == "Receive error !"
                         || notice == "Connect was terminated !",
                     qPrintable(notice));
            QVERIFY(!pair.Receiver->State.Connected);
            QVERIFY(!pair.Receiver->State.Transferring);
            QVERIFY(QFileInfo(m_dir.filePath("part1.bin")).size() < 8 * 1024 * 1024);
        }
        // Receiving side: Cancel stops listening and resets the window.
        {
            Connected pair;
            QVERIFY(pair.Connect());
            pair.Offer(source, m_dir.filePath("part2.bin"));
            QTRY_VERIFY_WITH_TIMEOUT(pair.Receiver->State.BytesDone > 0, kTimeout);
            pair.Receiver->Side.CancelTransfer();
            QVERIFY(pair.Receiver->View.Notices.isEmpty());
            QCOMPARE(pair.Receiver->View.ReceiveButton, QString("&Receive"));
            QCOMPARE(pair.Receiver->View.Status, QString("Transfer canceled..."));
            QVERIFY(pair.Receiver->View.SendModeEnabled);
            QVERIFY(!pair.Receiver->ss.Active());
            QVERIFY(!pair.Receiver->State.Connected);
            // Blocks in flight make the close a reset as often as not; either way the sender is told.
            QTRY_COMPARE_WITH_TIMEOUT(pair.Sender->View.Notices.size(), 1, kTimeout);
            const QString notice = pair.Sender->View.LastNotice();
            QVERIFY2(notice == "Transfer was terminated by 127.0.0.1 !"
                         || notice == "Can not Connect to 127.0.0.1! Try it again later."
                         || notice == "Transfer error !!" || notice == "Receive error !!",
                     qPrintable(notice));
            QCOMPARE(pair.Sender->View.ConnectButton, QString("&Connect"));
            QVERIFY(!pair.Sender->State.Connected);
            QVERIFY(!pair.Sender->State.FileStream);
        }
    }

    void connectWhereNobodyListens()
    {
        SenderPeer sender;
        sender.View.Address = QStringLiteral("127.0.0.1");
        sender.Side.Button5Click();
        QTRY_COMPARE_WITH_TIMEOUT(sender.View.Notices.size(), 1, kTimeout);
        QCOMPARE(sender.View.Notices[0].Title, QString("Error"));
        QCOMPARE(sender.View.LastNotice(), QString("Can not Connect to 127.0.0.1! Try it again later."));
        QCOMPARE(sender.View.Status, QString("Connection failure..."));
        QCOMPARE(sender.View.ConnectButton, QString("&Connect"));
        // The next press starts a new attempt at once.
        sender.Side.Button5Click();
        QTRY_COMPARE_WITH_TIMEOUT(sender.View.Notices.size(), 2, kTimeout);

        sender.View.Address.clear();
        sender.Side.Button5Click();
        QCOMPARE(sender.View.LastNotice(), QString("Please input your friend's IP address !"));
    }

    void receiveWhileThePortIsTaken()
    {
        const int holder = ::socket(AF_INET, SOCK_STREAM, 0);
        QVERIFY(holder >= 0);
        // Earlier cases leave the port in TIME_WAIT; only a listener may hold it here.
        const int reuse = 1;
        QVERIFY(::setsockopt(holder, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) == 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(TransferPort);
        QVERIFY(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
        QVERIFY(::listen(holder, 1) == 0);

        ReceiverPeer receiver;
        bool raised = false;
        try {
            receiver.Side.Button3Click();
        } catch (const ESocketError& error) {
            raised = QString(error.what()).contains("'bind'");
        }
        ::close(holder);
        QVERIFY(raised);
        QCOMPARE(receiver.View.ReceiveButton, QString("&Receive"));
        QVERIFY(receiver.View.SendModeEnabled);
        QCOMPARE(receiver.View.Status, QString("Waiting for your friend connecting..."));
        // Pressing again once the port is free works.
        receiver.Side.Button3Click();
        QCOMPARE(receiver.View.ReceiveButton, QString("Sto&p"));
        QVERIFY(receiver.ss.Active());
    }

    void aSecondSenderIsTurnedAway()
    {
        Connected pair;
        QVERIFY(pair.Connect());
        SenderPeer intruder;
        intruder.View.Address = QStringLiteral("127.0.0.1");
        intruder.Side.Button5Click();
        QTRY_COMPARE_WITH_TIMEOUT(intruder.View.Status, QString("Disconnect to 127.0.0.1..."), kTimeout);
        QVERIFY(pair.Receiver->State.Connected);
        QVERIFY(pair.Receiver->View.Notices.isEmpty());

        const QString source = m_dir.filePath("after.txt");
        QVERIFY(WriteFile(source, "still works"));
        pair.Offer(source, m_dir.filePath("after-saved.txt"));
        QTRY_COMPARE_WITH_TIMEOUT(pair.Receiver->View.LastNotice(), QString("Transfer completed !"), kTimeout);
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(tst_Sides)
#include "tst_sides.moc"
