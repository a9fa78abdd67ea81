// The transfer window: its lines, the size text, the animation, progress and Cancel.
#include "ModalDriver.h"

#include "Dialogs.h"
#include "TButton.h"
#include "TIconImage.h"
#include "TLabel.h"
#include "TProgressBar.h"
#include "TSaveQuery.h"
#include "TTransfer.h"

#include <QLocale>
#include <QTest>
#include <QTimer>

#include <limits>

namespace {
struct Side {
    bool Connected = true;
    int Cancels = 0;
    TTransfer::Control Control()
    {
        return {[this] { return Connected; }, [this] { ++Cancels; }};
    }
};

QString ArrowsShown(const TTransfer& window)
{
    QString shown;
    for (const TIconImage* arrow : {window.Image3, window.Image4, window.Image5})
        shown += arrow->isHidden() ? '-' : '>';
    return shown;
}
} // namespace

class tst_TransferWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void cleanup() { QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void sizeText_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("text");
        QTest::newRow("1,000") << 1000 << "File size : 0.98KB";
        QTest::newRow("1,536") << 1536 << "File size : 1.50KB";
        QTest::newRow("1 MiB") << 1048576 << "File size : 1024.00KB";
        QTest::newRow("1 MiB + 1") << 1048577 << "File size : 1.00MB";
        QTest::newRow("5 MiB") << 5242880 << "File size : 5.00MB";
        QTest::newRow("largest") << std::numeric_limits<int32_t>::max() << "File size : 2048.00MB";
    }

    void sizeText()
    {
        QFETCH(int, size);
        QFETCH(QString, text);
        // The separator is the system's; compare with it put back to a point.
        const QString decimal = QLocale::system().decimalPoint();
        QString shown = FileSizeText(size);
        shown.replace(decimal, QStringLiteral("."));
        QCOMPARE(shown, text);
    }

    void openFillsTheLines()
    {
        Side side;
        TTransfer window(nullptr, side.Control());
        QCOMPARE(window.windowTitle(), QString("Transferring file ... "));
        QCOMPARE(window.size(), QSize(330, 112));
        window.Open("10.0.0.2", "10.0.0.9", "/home/me/report.txt", std::numeric_limits<int32_t>::max());
        QCOMPARE(window.Label1->text(), QString("From: \"10.0.0.2\" To: \"10.0.0.9\""));
        QCOMPARE(window.label2->text(), QString("File name : /home/me/report.txt"));
        QCOMPARE(window.ProgressBar1->maximum(), std::numeric_limits<int32_t>::max());
        QCOMPARE(window.ProgressBar1->geometry(), QRect(10, 53, 307, 20));
        QCOMPARE(window.Button1->geometry(), QRect(245, 80, 73, 25));
        QCOMPARE(window.Button1->text(), QString("&Cancel"));
        QCOMPARE(window.label2->pos(), QPoint(10, 14));
        QCOMPARE(window.Label1->pos(), QPoint(12, 33));
        QCOMPARE(window.Label3->pos(), QPoint(11, 82));
        QVERIFY(window.Timer1->isActive());
        QCOMPARE(window.Timer1->interval(), 500);
        QCOMPARE(ArrowsShown(window), QString(">--"));
        QVERIFY(window.ProgressBar1->focusPolicy() == Qt::NoFocus);
    }

    void arrowStepsAwayFromTheMascot()
    {
        Side side;
        TTransfer window(nullptr, side.Control());
        QStringList steps;
        for (int tick = 0; tick < 3; ++tick) {
            window.Timer1Timer();
            steps << ArrowsShown(window);
        }
        QCOMPARE(steps, QStringList({"->-", "-->", ">--"}));
    }

    void progressIsExactAtTheEnd()
    {
        Side side;
        TTransfer window(nullptr, side.Control());
        window.Open("a", "b", "c", 3 * 1024);
        for (int done = 1024; done <= 3 * 1024; done += 1024)
            window.SetProgress(done);
        QCOMPARE(window.ProgressBar1->Position(), 3 * 1024);
    }

    void cancelWhenNotConnectedClosesAtOnce()
    {
        Side side;
        side.Connected = false;
        TTransfer window(nullptr, side.Control());
        window.Open("a", "b", "c", 10);
        QTimer::singleShot(0, &window, [&] { window.Button1->click(); });
        window.ShowModal();
        QVERIFY(!window.isVisible());
        QVERIFY(!window.Timer1->isActive());
        QCOMPARE(side.Cancels, 0);
    }

    void cancelAsksFirst()
    {
        Side side;
        TTransfer window(nullptr, side.Control());
        window.Open("a", "b", "c", 10);
        QString question;
        // No: the window stays and the transfer goes on. Then Yes: cancelled and closed.
        QTimer::singleShot(0, &window, [&] {
            ModalDriver::OnOpen([&](QWidget* modal) {
                auto* query = qobject_cast<TSaveQuery*>(modal);
                question = query->windowTitle() + '|' + query->Label1->text() + '|' + query->Label2->text();
                query->Button2->click();
            });
            window.Button1->click();
            QVERIFY(window.isVisible());
            QCOMPARE(side.Cancels, 0);
            QVERIFY(window.Timer1->isActive());
            ModalDriver::OnOpen([](QWidget* modal) { qobject_cast<TSaveQuery*>(modal)->Button1->click(); });
            window.Button1->click();
        });
        window.ShowModal();
        QCOMPARE(question, QString("Query|Do you really want to TERMINATE ?|"));
        QCOMPARE(side.Cancels, 1);
        QVERIFY(!window.Timer1->isActive());
    }

    void closeBoxStopsNothing()
    {
        Side side;
        TTransfer window(nullptr, side.Control());
        window.Open("a", "b", "c", 10);
        QTimer::singleShot(0, &window, [&] { window.close(); });
        window.ShowModal();
        QVERIFY(!window.isVisible());
        QCOMPARE(side.Cancels, 0);
    }

    void finishKeepsTheWindowUnderItsNotice()
    {
        Side side;
        TTransfer window(nullptr, side.Control());
        window.Open("a", "b", "c", 10);
        bool visibleUnderNotice = false;
        QTimer::singleShot(0, &window, [&] {
            window.Finish();
            ModalDriver::OnOpen([&](QWidget* notice) {
                visibleUnderNotice = window.isVisible();
                notice->close();
            });
            ShowNotice("Prompt", "Transfer completed !");
        });
        window.ShowModal();
        QVERIFY(visibleUnderNotice);
        QVERIFY(!window.isVisible());
    }
};

QTEST_MAIN(tst_TransferWindow)
#include "tst_transferwindow.moc"
