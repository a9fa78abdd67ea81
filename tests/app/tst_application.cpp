// The application object: failures that leave a handler reach one error box, and the loop goes on.
#include "TApplication.h"

#include "TClientSocket.h"
#include "TServerSocket.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <stdexcept>

namespace {
// Closes the next error box and reports what it said.
struct ErrorBoxWatcher {
    QString Caption;
    QString Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    int Seen = 0;

    void Arm()
    {
        QTimer::singleShot(0, qApp, [this] { Poll(); });
    }

    void Poll()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            QTimer::singleShot(5, qApp, [this] { Poll(); });
            return;
        }
        Caption = box->windowTitle();
        Text = box->text();
        Icon = box->icon();
        ++Seen;
        box->button(QMessageBox::Ok)->click();
    }
};
} // namespace

class tst_Application : public QObject {
    Q_OBJECT

private slots:
    void punctuationRule_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("ends in a path") << "Cannot open file /tmp/a.txt" << "Cannot open file /tmp/a.txt.";
        QTest::newRow("ends in a digit") << "Asynchronous socket error 10054" << "Asynchronous socket error 10054.";
        QTest::newRow("ends in a quote") << "'x' is not a valid integer value" << "'x' is not a valid integer value.";
        QTest::newRow("ends in !") << "Something failed !" << "Something failed !";
        QTest::newRow("ends in .") << "Done." << "Done.";
        QTest::newRow("ends in a blank") << "Trailing " << "Trailing ";
        QTest::newRow("ends in -") << "dash-" << "dash-";
        QTest::newRow("empty") << "" << "";
    }

    void punctuationRule()
    {
        QFETCH(QString, message);
        QTEST(TApplication::ErrorBoxText(message), "shown");
    }

    void timerFailureShowsTheBoxAndTheLoopGoesOn()
    {
        ErrorBoxWatcher watcher;
        watcher.Arm();
        int ticks = 0;
        QTimer timer;
        timer.setInterval(1);
        connect(&timer, &QTimer::timeout, this, [&] {
            if (++ticks == 1)
                throw std::runtime_error("Cannot create file /nowhere/x");
        });
        timer.start();
        QTRY_COMPARE(watcher.Seen, 1);
        QCOMPARE(watcher.Caption, QString("MOXELD"));
        QCOMPARE(watcher.Text, QString("Cannot create file /nowhere/x."));
        QCOMPARE(watcher.Icon, QMessageBox::Critical);
        // The same timer keeps running after the failure.
        QTRY_VERIFY(ticks > 3);
    }

    void socketHandlerFailureLeavesTheConnectionUsable()
    {
        TServerSocket ss;
        ss.setPort(0);
        ss.Open();
        const quint16 port = ss.Socket().LocalPort();
        QStringList reads;
        ss.OnClientRead = [&](TCustomWinSocket& Socket) {
            const QByteArray text = Socket.ReadAllText();
            reads << QString::fromLatin1(text);
            if (text == "bad")
                throw std::runtime_error("'bad' is not a valid integer value");
        };
        TClientSocket cs;
        cs.setAddress("127.0.0.1");
        cs.setPort(port);
        bool connected = false;
        cs.OnConnect = [&](TCustomWinSocket&) { connected = true; };
        cs.Open();
        QTRY_VERIFY(connected);

        ErrorBoxWatcher watcher;
        watcher.Arm();
        cs.Socket().WriteText("bad");
        QTRY_COMPARE(watcher.Seen, 1);
        QCOMPARE(watcher.Text, QString("'bad' is not a valid integer value."));
        cs.Socket().WriteText("good");
        QTRY_COMPARE(reads, QStringList({"bad", "good"}));
    }
};

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication application(argc, argv);
    tst_Application suite;
    return QTest::qExec(&suite, argc, argv);
}
#include "tst_application.moc"
