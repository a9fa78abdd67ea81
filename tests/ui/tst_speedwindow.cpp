// The speed window and the level it applies to the transfer settings.

#include "Dialogs.h"
#include "ModalDriver.h"
#include "TBufferSet.h"
#include "TButton.h"
#include "TransferState.h"

#include <QPointer>
#include <QSlider>
#include <QtTest>

class TestSpeedWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void sliderHasFiveSteps();
    void okWithoutMovingAppliesTheCurrentLevel();
    void okAppliesTheChosenRow_data();
    void okAppliesTheChosenRow();
    void cancelAndCloseBoxChangeNothing_data();
    void cancelAndCloseBoxChangeNothing();
    void ownerDestroyedWhileOpenChangesNothing();
    void stacksOnAModalWindowAlreadyOpen();

private:
    QPointer<QTimer> m_watchdog;
};

void TestSpeedWindow::init()
{
    m_watchdog = ModalDriver::Watchdog();
}

void TestSpeedWindow::cleanup()
{
    delete m_watchdog;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestSpeedWindow::sliderHasFiveSteps()
{
    TBufferSet window(4);
    QCOMPARE(window.TrackBar1->minimum(), 1);
    QCOMPARE(window.TrackBar1->maximum(), 5);
    QCOMPARE(window.TrackBar1->pageStep(), 1);
    QCOMPARE(window.TrackBar1->singleStep(), 1);
    QCOMPARE(window.TrackBar1->tickInterval(), 1);
    QCOMPARE(window.TrackBar1->tickPosition(), QSlider::TicksBelow);
    QCOMPARE(window.TrackBar1->value(), 4);
    QCOMPARE(window.SpeedLevel(), 4);

    // Keyboard focus starts on the slider and moves on to Ok, then Cancel.
    window.show();
    QCOMPARE(window.focusWidget(), window.TrackBar1);
    QCOMPARE(window.TrackBar1->nextInFocusChain(), window.Button1);
    QCOMPARE(window.Button1->nextInFocusChain(), window.Button2);

    // A page step moves one level.
    QTest::keyClick(window.TrackBar1, Qt::Key_PageUp);
    QCOMPARE(window.TrackBar1->value(), 5);
    QCOMPARE(window.SpeedLevel(), 4);  // stored only by Ok
}

void TestSpeedWindow::okWithoutMovingAppliesTheCurrentLevel()
{
    TransferSettings settings;
    int shownLevel = 0;
    ModalDriver::OnOpen([&](QWidget* modal) {
        auto* window = qobject_cast<TBufferSet*>(modal);
        QVERIFY(window);
        shownLevel = window->TrackBar1->value();
        QTest::mouseClick(window->Button1, Qt::LeftButton);
    });
    RunSpeedWindow(nullptr, settings);
    QCOMPARE(shownLevel, 3);
    QCOMPARE(settings.SpeedLevel, 3);
    QCOMPARE(settings.BlockSize, 1024);
    QCOMPARE(settings.ReceiveBufferSize, 1050);
}

void TestSpeedWindow::okAppliesTheChosenRow_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("blockSize");
    QTest::addColumn<int>("bufferSize");
    QTest::newRow("1") << 1 << 256 << 300;
    QTest::newRow("2") << 2 << 512 << 550;
    QTest::newRow("3") << 3 << 1024 << 1050;
    QTest::newRow("4") << 4 << 2048 << 2080;
    QTest::newRow("5") << 5 << 3072 << 3100;
}

void TestSpeedWindow::okAppliesTheChosenRow()
{
    QFETCH(int, level);
    QFETCH(int, blockSize);
    QFETCH(int, bufferSize);

    TransferSettings settings;
    ModalDriver::OnOpen([&](QWidget* modal) {
        auto* window = qobject_cast<TBufferSet*>(modal);
        QVERIFY(window);
        // Walk the slider there with the keyboard, as a user would.
        QTest::keyClick(window->TrackBar1, Qt::Key_Home);
        for (int i = 1; i < level; ++i)
            QTest::keyClick(window->TrackBar1, Qt::Key_Right);
        QCOMPARE(window->TrackBar1->value(), level);
        QTest::keyClick(window->windowHandle(), Qt::Key_Tab);  // focus to Ok
        QTest::keyClick(window->windowHandle(), Qt::Key_Return);
    });
    RunSpeedWindow(nullptr, settings);
    QCOMPARE(settings.SpeedLevel, level);
    QCOMPARE(settings.BlockSize, blockSize);
    QCOMPARE(settings.ReceiveBufferSize, bufferSize);

    // The next opening starts at the stored level.
    int reopenedAt = 0;
    ModalDriver::OnOpen([&](QWidget* modal) {
        auto* window = qobject_cast<TBufferSet*>(modal);
        QVERIFY(window);
        reopenedAt = window->TrackBar1->value();
        QTest::mouseClick(window->Button2, Qt::LeftButton);
    });
    RunSpeedWindow(nullptr, settings);
    QCOMPARE(reopenedAt, level);
}

void TestSpeedWindow::cancelAndCloseBoxChangeNothing_data()
{
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("Cancel") << false;
    QTest::newRow("close box") << true;
}

void TestSpeedWindow::cancelAndCloseBoxChangeNothing()
{
    QFETCH(bool, closeBox);

    TransferSettings settings;
    settings.SpeedLevel = 2;
    settings.BlockSize = 512;
    settings.ReceiveBufferSize = 550;
    for (int round = 0; round < 2; ++round) {
        int shownLevel = 0;
        ModalDriver::OnOpen([&](QWidget* modal) {
            auto* window = qobject_cast<TBufferSet*>(modal);
            QVERIFY(window);
            shownLevel = window->TrackBar1->value();
            window->TrackBar1->setValue(5);
            if (closeBox)
                window->close();
            else
                QTest::mouseClick(window->Button2, Qt::LeftButton);
        });
        RunSpeedWindow(nullptr, settings);
        QCOMPARE(shownLevel, 2);
        QCOMPARE(settings.SpeedLevel, 2);
        QCOMPARE(settings.BlockSize, 512);
        QCOMPARE(settings.ReceiveBufferSize, 550);
    }
}

void TestSpeedWindow::ownerDestroyedWhileOpenChangesNothing()
{
    auto* owner = new QWidget;
    owner->show();
    TransferSettings settings;
    bool owned = false;
    ModalDriver::OnOpen([&](QWidget* modal) {
        owned = modal && modal->parentWidget() == owner;
        delete owner;
    });
    RunSpeedWindow(owner, settings);
    QVERIFY(owned);
    QCOMPARE(settings.SpeedLevel, 3);
    QCOMPARE(settings.ReceiveBufferSize, 1080);
}

void TestSpeedWindow::stacksOnAModalWindowAlreadyOpen()
{
    QWidget owner;
    owner.show();
    TransferSettings settings;
    QWidget* speedParent = nullptr;
    QWidget* notice = nullptr;
    ModalDriver::OnOpen([&](QWidget* modal) {
        notice = modal;
        ModalDriver::OnOpen([&](QWidget* speed) {
            speedParent = speed->parentWidget();
            QTest::mouseClick(qobject_cast<TBufferSet*>(speed)->Button1, Qt::LeftButton);
        });
        RunSpeedWindow(&owner, settings);
        QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
    });
    ShowNotice(QStringLiteral("Prompt"), QStringLiteral("Transfer completed !"));
    QVERIFY(notice);
    QCOMPARE(speedParent, notice);
    QCOMPARE(settings.ReceiveBufferSize, 1050);
}

QTEST_MAIN(TestSpeedWindow)
#include "tst_speedwindow.moc"
