// Two main windows in one process, one sending and one receiving over loopback, driven through their
// real buttons and dialogs.
#include "UserAtTheScreen.h"

#include "PeerPair.h"
#include "TMainForm.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr int kTimeout = 30000;

QString MakeFile(const QTemporaryDir& dir, const QString& name, qsizetype size)
{
    const QString path = dir.filePath(name);
    return WriteFile(path, RandomBytes(size, static_cast<quint32>(size))) ? path : QString();
}
} // namespace

class tst_TwoPeers : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_sender = std::make_unique<TMainForm>();
        m_receiver = std::make_unique<TMainForm>();
        m_sender->show();
        m_receiver->show();
    }

    void cleanup()
    {
        m_sender.reset();
        m_receiver.reset();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void sendTwoFilesOnOneConnection()
    {
        UserAtTheScreen user;
        Connect();
        if (QTest::currentTestFailed())
            return;
        const QString first = MakeFile(m_dir, "first.bin", 300 * 1000 + 11);
        const QString second = MakeFile(m_dir, "second.txt", 1025);
        const QString saved = m_dir.filePath("saved.bin");

        user.FilesToOpen << first;
        user.SaveAnswers << true;
        user.SavePaths << saved;
        m_sender->Button2->click();
        QTRY_VERIFY_WITH_TIMEOUT(user.SawAll({"Prompt|Transfer completed !!", "Prompt|Transfer completed !"}), kTimeout);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(FileSha256(saved), FileSha256(first));

        const QString address = m_sender->State().SenderAddress;
        QCOMPARE(user.Seen.value(0), "SaveQuery|File name: first.bin|From IP Address: " + address);
        QCOMPARE(user.TransferWindowLines.size(), 2);
        const QString size = QStringLiteral("File size : 292") + QLocale::system().decimalPoint() + "98KB";
        QVERIFY(user.TransferWindowLines.contains("File name : " + first + "|From: \"" + address
                                                  + "\" To: \"127.0.0.1\"|" + size));
        QVERIFY(user.TransferWindowLines.contains("File name : first.bin|From: \"" + address + "\" To: \""
                                                  + m_receiver->State().ReceiverAddress + "\"|" + size));
        QCOMPARE(m_sender->Label2->text(), QString("Waiting for your friend to respond ..."));

        // The same connection carries the next file; an existing file is replaced.
        user.Seen.clear();
        user.FilesToOpen << second;
        user.SaveAnswers << true;
        user.SavePaths << saved;
        m_sender->Button2->click();
        QTRY_VERIFY_WITH_TIMEOUT(user.SawAll({"Prompt|Transfer completed !!", "Prompt|Transfer completed !"}), kTimeout);
        QCOMPARE(FileSha256(saved), FileSha256(second));
        QVERIFY(m_sender->State().Connected);
        QCOMPARE(m_sender->Button5->text(), QString("&Disconnect"));
    }

    void refusedThenCancelledThenEmpty()
    {
        UserAtTheScreen user;
        Connect();
        if (QTest::currentTestFailed())
            return;
        const QString file = MakeFile(m_dir, "a.txt", 10);
        user.FilesToOpen << file << file;
        user.SaveAnswers << false << true;  // the second time the save dialog is cancelled
        m_sender->Button2->click();
        QTRY_VERIFY_WITH_TIMEOUT(user.Seen.contains("Prompt|Your friend refused your file !!"), kTimeout);
        QTRY_COMPARE(m_receiver->Label2->text(), QString("You refused this transfer..."));
        QCOMPARE(m_sender->Label2->text(), QString("Transfer refused , Ready again..."));
        QCOMPARE(m_sender->Label2->textColor(), QColor(255, 0, 0));

        user.Seen.clear();
        m_sender->Button2->click();
        QTRY_VERIFY_WITH_TIMEOUT(user.Seen.contains("Prompt|Your friend refused your file !!"), kTimeout);
        QTRY_COMPARE(m_receiver->Label2->text(), QString("You canceled this transfer..."));

        const QString empty = MakeFile(m_dir, "empty.txt", 0);
        user.FilesToOpen << empty;
        m_sender->Button2->click();
        QTRY_VERIFY(user.Seen.contains("Box|" + empty + " Size is Zero!"));
    }

    void cancelOnTheReceivingSide()
    {
        UserAtTheScreen user;
        m_sender->Settings().BlockSize = 256;
        Connect();
        if (QTest::currentTestFailed())
            return;
        const QString file = MakeFile(m_dir, "long.bin", 40 * 1024 * 1024);
        user.FilesToOpen << file;
        user.SaveAnswers << true;
        user.SavePaths << m_dir.filePath("part.bin");
        user.QueryAnswers << true;
        bool pressed = false;
        user.WhileTransferring = [&](TTransfer* window) {
            const bool receivers = !window->label2->text().contains('/');
            if (receivers && !pressed && window->ProgressBar1->Position() > 0) {
                pressed = true;
                UserAtTheScreen::Press(window->Button1);
            } else if (!receivers && !m_sender->State().Connected) {
                // The sender's window stays after the connection ends; Cancel then only closes it.
                UserAtTheScreen::Press(window->Button1);
            }
        };
        m_sender->Button2->click();
        QTRY_COMPARE_WITH_TIMEOUT(m_receiver->Label2->text(), QString("Transfer canceled..."), kTimeout);
        QCOMPARE(m_receiver->Label2->textColor(), QColor(255, 0, 0));
        QCOMPARE(m_receiver->Button3->text(), QString("&Receive"));
        QVERIFY(m_receiver->RadioButton1->isEnabled());
        QVERIFY(!m_receiver->ss.Active());
        QVERIFY(user.Seen.contains("Query|Do you really want to TERMINATE ?|"));
        QTRY_COMPARE_WITH_TIMEOUT(m_sender->Button5->text(), QString("&Connect"), kTimeout);
        QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget(), kTimeout);
        QVERIFY(QFileInfo(m_dir.filePath("part.bin")).size() < 40 * 1024 * 1024);
    }

    void speedLevelsChosenInTheirWindows()
    {
        UserAtTheScreen user;
        // A big sender block against a small receiver buffer: blocks arrive in several reads.
        user.SpeedLevels << 5 << 1;
        m_sender->Button6->click();
        m_receiver->Button6->click();
        QCOMPARE(user.Seen, QStringList({"Speed|3", "Speed|3"}));
        QCOMPARE(m_sender->Settings().BlockSize, 3072);
        QCOMPARE(m_receiver->Settings().ReceiveBufferSize, 300);
        QCOMPARE(m_receiver->Settings().SpeedLevel, 1);
        // Cancel keeps the level.
        m_sender->Button6->click();
        QCOMPARE(user.Seen.last(), QString("Speed|5"));
        QCOMPARE(m_sender->Settings().SpeedLevel, 5);

        Connect();
        if (QTest::currentTestFailed())
            return;
        const QString file = MakeFile(m_dir, "mixed.bin", 2 * 1000 * 1000 + 5);
        const QString saved = m_dir.filePath("mixed-saved.bin");
        user.FilesToOpen << file;
        user.SaveAnswers << true;
        user.SavePaths << saved;
        m_sender->Button2->click();
        QTRY_VERIFY_WITH_TIMEOUT(user.SawAll({"Prompt|Transfer completed !!", "Prompt|Transfer completed !"}), kTimeout);
        QCOMPARE(FileSha256(saved), FileSha256(file));
    }

private:
    void Connect()
    {
        m_receiver->RadioButton2->click();
        try {
            m_receiver->Button3->click();
        } catch (const std::exception& error) {
            QFAIL(qPrintable(QStringLiteral("cannot listen on the transfer port: ") + error.what()));
        }
        QCOMPARE(m_receiver->Button3->text(), QString("Sto&p"));
        QVERIFY(!m_receiver->RadioButton1->isEnabled());
        QCOMPARE(m_receiver->Label2->text(), QString("Waiting for your friend connecting..."));

        QTest::keyClicks(m_sender->Edit1, "127.0.0.1");
        QTest::keyClick(m_sender->Edit1, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(m_sender->Button5->text(), QString("&Disconnect"), kTimeout);
        QVERIFY(m_sender->Button2->isEnabled());
        QVERIFY(!m_sender->RadioButton2->isEnabled());
        QCOMPARE(m_sender->Label2->text(), QString("Connect successfully, you can transfer your file now !"));
        QTRY_COMPARE(m_receiver->Label2->text(), QString("Connected, waiting for transferring..."));
    }

    QTemporaryDir m_dir;
    std::unique_ptr<TMainForm> m_sender;
    std::unique_ptr<TMainForm> m_receiver;
};

QTEST_MAIN(tst_TwoPeers)
#include "tst_two_peers.moc"
