// Faults on our own side: the file to send changes after it was chosen, the place to save cannot be
// written, and a long run of transfers on one connection must not grow.
#include "HostilePeer.h"
#include "NetTestSupport.h"
#include "PeerPair.h"

#include <QDir>
#include <QTemporaryDir>

#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace {
constexpr int kTimeout = 10000;
const QString kWaiting = QStringLiteral("Waiting for your friend to respond ...");

struct Pair : PeerPair {
    bool Connect()
    {
        const QString error = SocketErrorOf([&] { Receiver->Side.Button3Click(); });
        if (!error.isEmpty()) {
            qWarning("cannot listen on the transfer port: %s", qPrintable(error));
            return false;
        }
        Sender->View.Address = QStringLiteral("127.0.0.1");
        Sender->Side.Button5Click();
        return HostilePeer::WaitFor([&] { return Sender->State.Connected && Receiver->State.Connected; }, kTimeout);
    }


};

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

size_t HeapInUse()
{
    return mallinfo2().uordblks;
}
} // namespace

class tst_OwnFaults : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        CaughtErrors().clear();
        m_source = m_dir.filePath("source.bin");
        m_content = RandomBytes(10 * 1024 + 1, 3);
        QVERIFY(WriteFile(m_source, m_content));
    }

    // The file is changed while the receiving user is still deciding. One that cannot be opened any
    // more raises the open error and starts nothing; one that shrank ends the transfer with an error
    // on both sides; one that grew is sent as it was measured.
    void senderFileChangesBeforeAccepting_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("removed") << "removed";
        QTest::newRow("replaced by a folder") << "folder";
        QTest::newRow("made unreadable") << "unreadable";
        QTest::newRow("truncated") << "truncated";
        QTest::newRow("emptied") << "emptied";
        QTest::newRow("grown") << "grown";
    }

    void senderFileChangesBeforeAccepting()
    {
        QFETCH(QString, change);
        if (change == "unreadable" && ::geteuid() == 0)
            QSKIP("root reads a file whatever its mode; the folder row covers a failing open");
        Pair pair;
        QVERIFY(pair.Connect());
        const QString target = m_dir.filePath("target.bin");
        pair.Receiver->View.WhileQueryOpen = [&] {
            if (change == "removed" || change == "folder") {
                QFile::remove(m_source);
                if (change == "folder")
                    QDir().mkdir(m_source);
            } else if (change == "unreadable") {
                ::chmod(QFile::encodeName(m_source).constData(), 0);
            } else if (change == "truncated" || change == "emptied") {
                QFile::resize(m_source, change == "emptied" ? 0 : m_content.size() / 2);
            } else {
                QFile file(m_source);
                if (file.open(QIODevice::Append))
                    file.write("grown");
            }
        };
        pair.Offer(m_source, target);

        if (change == "grown") {
            QVERIFY(pair.BothCompleted(kTimeout));
            QCOMPARE(ReadAll(target), m_content);
        } else if (change == "truncated" || change == "emptied") {
            QTRY_COMPARE_WITH_TIMEOUT(pair.Sender->View.Notices.size(), 1, kTimeout);
            QCOMPARE(pair.Sender->View.Notices[0].Title, QString("Error"));
            QCOMPARE(pair.Sender->View.LastNotice(),
                     QString("Cannot read source.bin : the file became shorter while it was being sent."));
            QCOMPARE(pair.Sender->View.ConnectButton, QString("&Connect"));
            QTRY_COMPARE_WITH_TIMEOUT(pair.Receiver->View.Notices.size(), 1, kTimeout);
            QVERIFY2(pair.Receiver->View.LastNotice().startsWith("Trnsfer was terminated by "),
                     qPrintable(pair.Receiver->View.LastNotice()));
            QVERIFY(ReadAll(target).size() <= m_content.size() / 2);
            QVERIFY(m_content.startsWith(ReadAll(target)));
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(CaughtErrors(), QStringList("Cannot open file " + m_source), kTimeout);
            QVERIFY(pair.Sender->View.WindowsOpened.isEmpty());
            QVERIFY(pair.Receiver->View.WindowsOpened.isEmpty());
            QVERIFY(pair.Sender->View.Notices.isEmpty());
            QCOMPARE(pair.Sender->View.Status, kWaiting);
            QVERIFY(!pair.Sender->State.Transferring);
            // The sender can go on with another file on the same connection.
            pair.Receiver->View.WhileQueryOpen = nullptr;
            const QString other = m_dir.filePath("other.bin");
            QVERIFY(WriteFile(other, "other"));
            pair.Offer(other, target);
            QVERIFY(pair.BothCompleted(kTimeout));
            QCOMPARE(ReadAll(target), QByteArray("other"));
        }
        if (change == "folder")
            QDir().rmdir(m_source);
    }

    // Saving where no file can be created raises the create error and sends nothing; the sender keeps
    // waiting and can offer again, to be saved elsewhere.
    void saveWhereNothingCanBeWritten()
    {
        const QString locked = m_dir.filePath("locked");
        QVERIFY(QDir().mkdir(locked));
        QVERIFY(::chmod(QFile::encodeName(locked).constData(), 0555) == 0);
        // Modes do not stop root; nobody creates files in /proc.
        const QString path = ::geteuid() == 0 ? QStringLiteral("/proc/moxeld-test.bin") : locked + "/x.bin";
        Pair pair;
        QVERIFY(pair.Connect());
        pair.Offer(m_source, path);
        QTRY_COMPARE_WITH_TIMEOUT(CaughtErrors(), QStringList("Cannot create file " + path), kTimeout);
        QVERIFY(!QFile::exists(path));
        QCOMPARE(pair.Sender->View.Status, kWaiting);
        QVERIFY(pair.Sender->View.WindowsOpened.isEmpty());
        QVERIFY(pair.Receiver->View.WindowsOpened.isEmpty());

        const QString target = m_dir.filePath("elsewhere.bin");
        pair.Offer(m_source, target);
        QVERIFY(pair.BothCompleted(kTimeout));
        QCOMPARE(ReadAll(target), m_content);
        ::chmod(QFile::encodeName(locked).constData(), 0755);
    }

    // Two hundred transfers on one connection: descriptors stay as they were and the heap does not
    // grow once the first ones have warmed things up.
    void twoHundredTransfersOnOneConnection()
    {
        Pair pair;
        QVERIFY(pair.Connect());
        const QString target = m_dir.filePath("round.bin");
        int descriptors = 0;
        size_t heap = 0;
        for (int round = 0; round < 200; ++round) {
            if (round == 20) {
                descriptors = OpenDescriptors();
                heap = HeapInUse();
            }
            pair.Offer(m_source, target);
            QVERIFY2(pair.BothCompleted(kTimeout), qPrintable(QString("round %1").arg(round)));
            for (ScriptedView* view : {&pair.Sender->View, &pair.Receiver->View}) {
                view->Notices.clear();
                view->Questions.clear();
                view->SuggestedNames.clear();
                view->WindowsOpened.clear();
            }
        }
        QCOMPARE(ReadAll(target), m_content);
        QCOMPARE(OpenDescriptors(), descriptors);
        const qint64 growth = qint64(HeapInUse()) - qint64(heap);
        QVERIFY2(growth < 64 * 1024, qPrintable(QString("heap grew by %1 bytes over 180 transfers").arg(growth)));
    }

private:
    QTemporaryDir m_dir;
    QString m_source;
    QByteArray m_content;
};

MOXELD_NET_TEST_MAIN(tst_OwnFaults)
#include "tst_own_faults.moc"
