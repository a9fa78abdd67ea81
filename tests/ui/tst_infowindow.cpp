// The information window: address line, the link's two looks, opening the link, closing.

#include "Dialogs.h"
#include "LocalAddress.h"
#include "ModalDriver.h"
#include "TButton.h"
#include "TInfor.h"
#include "TLabel.h"
#include "TBackgroundImage.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QPointer>
#include <QtTest>

namespace {

// Delivered straight to the widget: synthetic moves through the window system do not
// always reach offscreen widgets.
void MoveOver(QWidget* widget)
{
    const QPointF local(widget->width() / 2.0, widget->height() / 2.0);
    QMouseEvent move(QEvent::MouseMove, local, widget->mapToGlobal(local), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

void ClickOn(QWidget* widget)
{
    const QPointF local(widget->width() / 2.0, widget->height() / 2.0);
    const QPointF global = widget->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

bool IsResting(const TInfor& window)
{
    const QFont font = window.Label7->font();
    return !font.bold() && font.underline() && window.Label7->cursor().shape() == Qt::ArrowCursor
        && !window.LinkIsHot();
}

bool IsHot(const TInfor& window)
{
    const QFont font = window.Label7->font();
    return font.bold() && font.underline()
        && window.Label7->cursor().shape() == Qt::PointingHandCursor && window.LinkIsHot();
}

}  // namespace

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

class TestInfoWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void showsTheAddressComputedAtOpening();
    void linkLooksFollowThePointer();
    void newWindowStartsResting();
    void linkOpensOurPage();
    void closesByCancelEnterAndCloseBox_data();
    void closesByCancelEnterAndCloseBox();

private:
    QPointer<QTimer> m_watchdog;
};

void TestInfoWindow::init()
{
    m_watchdog = ModalDriver::Watchdog();
}

void TestInfoWindow::cleanup()
{
    delete m_watchdog;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestInfoWindow::showsTheAddressComputedAtOpening()
{
    for (int opening = 0; opening < 2; ++opening) {
        QString line;
        int x = -1;
        ModalDriver::OnOpen([&](QWidget* modal) {
            auto* window = qobject_cast<TInfor*>(modal);
            QVERIFY(window);
            line = window->Label5->text();
            x = window->Label5->x();
            QTest::mouseClick(window->Button1, Qt::LeftButton);
        });
        RunInfoWindow(nullptr);
        QCOMPARE(line, QStringLiteral("Your Current IP Address is : ") + LocalAddress());
        QCOMPARE(x, 41);
    }
}

void TestInfoWindow::linkLooksFollowThePointer()
{
    TInfor window;
    window.show();
    QVERIFY(IsResting(window));
    const int restingWidth = window.Label7->width();
    QCOMPARE(window.Label7->palette().color(QPalette::WindowText), QColor(0, 128, 0));

    MoveOver(window.Label7);
    QVERIFY(IsHot(window));
    QCOMPARE(window.Label7->geometry().right(), 246);  // right edge at x = 247 stays put
    QVERIFY(window.Label7->width() > restingWidth);    // bold is wider, growing leftwards
    QCOMPARE(window.Label7->y(), 76);

    // Other labels and the button do not cool it down; only the background does.
    MoveOver(window.Label1);
    MoveOver(window.Label5);
    MoveOver(window.Button1);
    QVERIFY(IsHot(window));

    MoveOver(window.Image1);
    QVERIFY(IsResting(window));
    QCOMPARE(window.Label7->width(), restingWidth);
    QCOMPARE(window.Label7->geometry().right(), 246);

    MoveOver(window.Label7);
    QVERIFY(IsHot(window));
}

void TestInfoWindow::newWindowStartsResting()
{
    {
        TInfor first;
        first.show();
        MoveOver(first.Label7);
        QVERIFY(IsHot(first));
    }
    bool resting = false;
    ModalDriver::OnOpen([&](QWidget* modal) {
        auto* window = qobject_cast<TInfor*>(modal);
        QVERIFY(window);
        resting = IsResting(*window);
        QTest::mouseClick(window->Button1, Qt::LeftButton);
    });
    RunInfoWindow(nullptr);
    QVERIFY(resting);
}

void TestInfoWindow::linkOpensOurPage()
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
    {
        TInfor window;
        window.show();
        ClickOn(window.Label7);
        QVERIFY(window.isVisible());  // the window stays open
    }
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl(QStringLiteral("https://moxeld.example/"))});
}

void TestInfoWindow::closesByCancelEnterAndCloseBox_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel") << "cancel";
    QTest::newRow("Enter") << "enter";
    QTest::newRow("close box") << "close";
}

void TestInfoWindow::closesByCancelEnterAndCloseBox()
{
    QFETCH(QString, how);
    bool focusOnCancel = false;
    ModalDriver::OnOpen([&](QWidget* modal) {
        auto* window = qobject_cast<TInfor*>(modal);
        QVERIFY(window);
        focusOnCancel = window->focusWidget() == window->Button1;
        if (how == QLatin1String("cancel"))
            QTest::mouseClick(window->Button1, Qt::LeftButton);
        else if (how == QLatin1String("enter"))
            QTest::keyClick(window->windowHandle(), Qt::Key_Return);
        else
            window->close();
    });
    RunInfoWindow(nullptr);
    QVERIFY(focusOnCancel);
    QVERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(TestInfoWindow)
#include "tst_infowindow.moc"
