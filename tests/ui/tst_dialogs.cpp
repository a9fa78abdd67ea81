// The query and notice dialogs, the plain message box, and where every control of the
// small windows stands.

#include "Dialogs.h"
#include "FormKit.h"
#include "ModalDriver.h"
#include "TBufferSet.h"
#include "TInfor.h"
#include "TPrompt.h"
#include "TSaveQuery.h"

#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QSlider>
#include <QtTest>

#include <memory>

namespace {

std::unique_ptr<QWidget> MakeWindow(const QString& name)
{
    if (name == QLatin1String("SaveQuery"))
        return std::make_unique<TSaveQuery>();
    if (name == QLatin1String("Prompt"))
        return std::make_unique<TPrompt>();
    if (name == QLatin1String("BufferSet"))
        return std::make_unique<TBufferSet>(3);
    return std::make_unique<TInfor>();
}

enum Kind { Box, Label, WrapLabel, RightLabel };

void ClickButton(QWidget* window, const char* name)
{
    auto* button = window->findChild<QPushButton*>(QLatin1String(name));
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
}

}  // namespace

class TestDialogs : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void windowsHaveTheirFixedSize_data();
    void windowsHaveTheirFixedSize();
    void controlsStandWhereTheyBelong_data();
    void controlsStandWhereTheyBelong();
    void queryAnswers_data();
    void queryAnswers();
    void queryEscapeDoesNothing();
    void queryKeepsItsDefaultsWhenCallerGivesNone();
    void queryGoesWithItsDestroyedOwner();
    void noticeWrapsAndGrowsDownwards();
    void noticeLetsTimersRun();
    void secondNoticeStacksOnTopAndClosesFirst();
    void plainMessageBox();

private:
    QPointer<QTimer> m_watchdog;
};

void TestDialogs::initTestCase()
{
    QApplication::setApplicationDisplayName(QStringLiteral("MOXELD"));
}

void TestDialogs::init()
{
    m_watchdog = ModalDriver::Watchdog();
}

void TestDialogs::cleanup()
{
    delete m_watchdog;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestDialogs::windowsHaveTheirFixedSize_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("caption");
    QTest::newRow("query") << "SaveQuery" << QSize(244, 92) << "SaveQuery";
    QTest::newRow("notice") << "Prompt" << QSize(254, 105) << "";
    QTest::newRow("speed") << "BufferSet" << QSize(300, 131) << "BufferSet";
    QTest::newRow("info") << "Infor" << QSize(284, 238) << "Information";
}

void TestDialogs::windowsHaveTheirFixedSize()
{
    QFETCH(QString, window);
    QFETCH(QSize, size);
    QFETCH(QString, caption);
    auto form = MakeWindow(window);
    form->show();
    QCOMPARE(form->size(), size);
    QCOMPARE(form->minimumSize(), size);
    QCOMPARE(form->maximumSize(), size);
    QCOMPARE(form->windowTitle(), caption);
    const Qt::WindowFlags flags = form->windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QCOMPARE(form->font().pixelSize(), 11);

    // Centred on the screen (frame and client differ by the platform's frame margins).
    const QPoint screenCentre = form->screen()->availableGeometry().center();
    const QPoint offset = form->frameGeometry().center() - screenCentre;
    QVERIFY2(qAbs(offset.x()) <= 1 && qAbs(offset.y()) <= 1,
             qPrintable(QStringLiteral("off by %1,%2").arg(offset.x()).arg(offset.y())));

    auto* background = form->findChild<TBackgroundImage*>(QStringLiteral("Image1"));
    QVERIFY(background);
    QCOMPARE(background->geometry(), QRect(QPoint(0, 0), size));
    QCOMPARE(form->childAt(1, 1), background);  // beneath everything, covering the corner
}

void TestDialogs::controlsStandWhereTheyBelong_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QRect>("box");
    QTest::addColumn<QString>("text");

    auto row = [](const char* window, const char* control, Kind kind, QRect box, const char* text = "") {
        QTest::addRow("%s.%s", window, control)
            << QString::fromLatin1(window) << QString::fromLatin1(control) << int(kind) << box
            << QString::fromLatin1(text);
    };
    row("SaveQuery", "Image4", Box, {27, 5, 34, 34});
    row("SaveQuery", "Label1", Label, {64, 7, 54, 13});
    row("SaveQuery", "Label2", Label, {64, 27, 81, 13});
    row("SaveQuery", "Bevel1", Box, {16, 45, 206, 14});
    row("SaveQuery", "Button1", Box, {39, 59, 75, 25}, "&Save");
    row("SaveQuery", "Button2", Box, {139, 59, 75, 25}, "&Refuse");

    row("Prompt", "Image2", Box, {21, 11, 38, 38});
    row("Prompt", "Label1", WrapLabel, {62, 11, 158, 26});
    row("Prompt", "Bevel1", Box, {62, 53, 162, 14});
    row("Prompt", "Image3", Box, {21, 53, 38, 39});
    row("Prompt", "Button1", Box, {153, 65, 73, 23}, "&Ok");

    row("BufferSet", "Label1", Label, {15, 16, 99, 13}, "Adjust transfer speed");
    row("BufferSet", "Bevel1", Box, {120, 22, 161, 16});
    row("BufferSet", "Label2", Label, {15, 36, 20, 13}, "Low");
    row("BufferSet", "Label3", Label, {257, 34, 20, 13}, "high");
    row("BufferSet", "Label4", Label, {83, 36, 6, 13}, "1");
    row("BufferSet", "Label5", Label, {145, 36, 6, 13}, "2");
    row("BufferSet", "Label6", Label, {206, 36, 6, 13}, "3");
    row("BufferSet", "TrackBar1", Box, {16, 52, 265, 31});
    row("BufferSet", "Button1", Box, {129, 93, 73, 23}, "&Ok");
    row("BufferSet", "Button2", Box, {209, 93, 73, 23}, "&Cancel");

    row("Infor", "Image2", Box, {9, 6, 39, 38});
    row("Infor", "Label1", Label, {50, 12, 261, 16}, "MOXELD -  Pellwick            ");
    row("Infor", "Label2", Label, {183, 35, 72, 13}, "Version 1.03");
    row("Infor", "Label7", RightLabel, {136, 76, 111, 13}, "https://moxeld.example/");
    row("Infor", "Bevel1", Box, {40, 96, 207, 14});
    row("Infor", "Label5", Label, {41, 170, 132, 13});
    row("Infor", "Bevel2", Box, {40, 189, 207, 14});
    row("Infor", "Button1", Box, {189, 201, 59, 23}, "&Cancel");
}

void TestDialogs::controlsStandWhereTheyBelong()
{
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(int, kind);
    QFETCH(QRect, box);
    QFETCH(QString, text);

    auto form = MakeWindow(window);
    auto* widget = form->findChild<QWidget*>(control);
    QVERIFY(widget);
    QCOMPARE(widget->parentWidget(), form.get());

    switch (Kind(kind)) {
    case Box:
        QCOMPARE(widget->geometry(), box);
        break;
    case Label:
        QCOMPARE(widget->pos(), box.topLeft());
        break;
    case WrapLabel:
        QCOMPARE(widget->pos(), box.topLeft());
        QCOMPARE(widget->width(), box.width());
        break;
    case RightLabel:
        QCOMPARE(widget->geometry().right(), box.right());
        QCOMPARE(widget->y(), box.y());
        break;
    }

    if (auto* label = qobject_cast<QLabel*>(widget)) {
        QCOMPARE(label->text(), text);
        QVERIFY(!label->autoFillBackground());
        // One line of its own font, whole text visible and inside the window.
        QVERIFY(form->rect().contains(label->geometry()));
        QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(text));
        if (Kind(kind) != WrapLabel)
            QCOMPARE(label->height(), label->fontMetrics().height());
    }
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        QCOMPARE(button->text(), text);
        QString plain = text;
        plain.remove(QLatin1Char('&'));
        QVERIFY2(button->fontMetrics().horizontalAdvance(plain) + 8 <= button->width(),
                 "caption does not fit its button");
        QVERIFY(!button->autoDefault());
        QVERIFY(!button->isDefault());
    }
}

void TestDialogs::queryAnswers_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<int>("result");
    QTest::newRow("Button1") << "button1" << true << 1;
    QTest::newRow("Button2") << "button2" << false << 2;
    QTest::newRow("close box") << "close" << false << 2;
    QTest::newRow("Enter") << "enter" << true << 1;
    QTest::newRow("Tab then Enter") << "tab-enter" << false << 2;
}

void TestDialogs::queryAnswers()
{
    QFETCH(QString, action);
    QFETCH(bool, answer);
    QFETCH(int, result);

    QString seenTitle, seenLine1, seenLine2, seenYes, seenNo;
    int seenResult = -1;
    ModalDriver::OnOpen([&](QWidget* modal) {
        auto* query = qobject_cast<TSaveQuery*>(modal);
        QVERIFY(query);
        connect(query, &QDialog::finished, [&](int code) { seenResult = code; });
        seenTitle = query->windowTitle();
        seenLine1 = query->Label1->text();
        seenLine2 = query->Label2->text();
        seenYes = query->Button1->text();
        seenNo = query->Button2->text();
        QCOMPARE(query->focusWidget(), query->Button1);
        if (action == QLatin1String("button1")) {
            ClickButton(query, "Button1");
        } else if (action == QLatin1String("button2")) {
            ClickButton(query, "Button2");
        } else if (action == QLatin1String("close")) {
            query->close();
        } else if (action == QLatin1String("enter")) {
            QTest::keyClick(query->windowHandle(), Qt::Key_Return);
        } else {
            QTest::keyClick(query->windowHandle(), Qt::Key_Tab);
            QCOMPARE(query->focusWidget(), query->Button2);
            QTest::keyClick(query->windowHandle(), Qt::Key_Enter, Qt::KeypadModifier);
        }
    });

    const bool yes = AskQuery(QStringLiteral("It's still connected..."),
                              QStringLiteral("Do you really want to TERMINATE ?"),
                              QStringLiteral("Query"), QStringLiteral("&Yes"), QStringLiteral("&No"));
    QCOMPARE(yes, answer);
    QCOMPARE(seenResult, result);
    QCOMPARE(seenTitle, QStringLiteral("Query"));
    QCOMPARE(seenLine1, QStringLiteral("It's still connected..."));
    QCOMPARE(seenLine2, QStringLiteral("Do you really want to TERMINATE ?"));
    QCOMPARE(seenYes, QStringLiteral("&Yes"));
    QCOMPARE(seenNo, QStringLiteral("&No"));
    QVERIFY(!QApplication::activeModalWidget());
}

void TestDialogs::queryEscapeDoesNothing()
{
    bool openAfterEscape = false;
    ModalDriver::OnOpen([&](QWidget* query) {
        QTest::keyClick(query->windowHandle(), Qt::Key_Escape);
        // Still open after the key press has been handled by the nested loop.
        QTimer::singleShot(0, query, [&, query] {
            openAfterEscape = query->isVisible() && QApplication::activeModalWidget() == query;
            ClickButton(query, "Button1");
        });
    });
    QVERIFY(AskQuery(QStringLiteral("Do you really want to TERMINATE ?"), QString()));
    QVERIFY(openAfterEscape);
}

void TestDialogs::queryKeepsItsDefaultsWhenCallerGivesNone()
{
    QString title, yes, no, line2;
    ModalDriver::OnOpen([&](QWidget* modal) {
        auto* query = qobject_cast<TSaveQuery*>(modal);
        QVERIFY(query);
        title = query->windowTitle();
        yes = query->Button1->text();
        no = query->Button2->text();
        line2 = query->Label2->text();
        ClickButton(query, "Button2");
    });
    QVERIFY(!AskQuery(QStringLiteral("File name: a.txt"), QStringLiteral("From IP Address: 10.0.0.5")));
    QCOMPARE(title, QStringLiteral("SaveQuery"));
    QCOMPARE(yes, QStringLiteral("&Save"));
    QCOMPARE(no, QStringLiteral("&Refuse"));
    QCOMPARE(line2, QStringLiteral("From IP Address: 10.0.0.5"));
}

void TestDialogs::queryGoesWithItsDestroyedOwner()
{
    // An owner destroyed by some handler while the question is open takes it along.
    auto* owner = new TPrompt;
    bool stacked = false;
    ModalDriver::OnOpen([&](QWidget* notice) {
        ModalDriver::OnOpen([&](QWidget* query) {
            stacked = query && query->parentWidget() == notice;
            delete notice;
        });
        QVERIFY(!AskQuery(QStringLiteral("line"), QStringLiteral("line")));
    });
    owner->exec();  // returns once the step has deleted it
    QVERIFY(stacked);
}

void TestDialogs::noticeWrapsAndGrowsDownwards()
{
    TPrompt notice;
    const int lineHeight = notice.Label1->fontMetrics().height();
    notice.Label1->setText(QStringLiteral("Transfer completed !!"));
    QCOMPARE(notice.Label1->pos(), QPoint(62, 11));
    QCOMPARE(notice.Label1->width(), 158);
    QVERIFY(notice.Label1->height() >= lineHeight && notice.Label1->height() < 2 * lineHeight);
    QVERIFY(notice.Label1->font().bold());
    QCOMPARE(notice.Label1->font().pixelSize(), 11);
    QCOMPARE(notice.Label1->palette().color(QPalette::WindowText), QColor(0, 128, 0));

    const QString longMessage =
        QStringLiteral("Can not Connect to 192.168.100.200! Try it again later.");
    notice.Label1->setText(longMessage);
    QCOMPARE(notice.Label1->pos(), QPoint(62, 11));
    QCOMPARE(notice.Label1->width(), 158);
    QVERIFY(notice.Label1->height() >= 2 * lineHeight);
    QVERIFY(notice.Label1->height()
            >= notice.Label1->fontMetrics()
                   .boundingRect(QRect(0, 0, 158, 1000), Qt::TextWordWrap, longMessage)
                   .height());

    notice.Label1->setText(QString());
    QVERIFY(notice.Label1->height() < 2 * lineHeight);
}

void TestDialogs::noticeLetsTimersRun()
{
    QLabel status(QStringLiteral("before"));
    int ticks = 0;
    QTimer ticker;
    ticker.setInterval(5);
    connect(&ticker, &QTimer::timeout, &status, [&] {
        status.setText(QStringLiteral("tick %1").arg(++ticks));
        if (ticks == 3) {
            ticker.stop();
            if (QWidget* notice = QApplication::activeModalWidget())
                ClickButton(notice, "Button1");
        }
    });
    ModalDriver::OnOpen([&](QWidget* notice) {
        QVERIFY(qobject_cast<TPrompt*>(notice));
        ticker.start();
    });
    ShowNotice(QStringLiteral("Prompt"), QStringLiteral("Transfer completed !"));
    QCOMPARE(ticks, 3);
    QCOMPARE(status.text(), QStringLiteral("tick 3"));
}

void TestDialogs::secondNoticeStacksOnTopAndClosesFirst()
{
    QStringList closed;
    QString firstTitle;
    bool secondOnTop = false;
    bool firstActiveAgain = false;

    ModalDriver::OnOpen([&](QWidget* first) {
        firstTitle = first->windowTitle();
        connect(qobject_cast<QDialog*>(first), &QDialog::finished, [&] { closed << QStringLiteral("first"); });
        // A handler run by a timer opens a second notice while the first is open.
        QTimer::singleShot(1, first, [&, first] {
            ModalDriver::OnOpen([&, first](QWidget* second) {
                secondOnTop = second != first && second->parentWidget() == first
                    && first->isVisible() && second->windowTitle() == QLatin1String("Error");
                connect(qobject_cast<QDialog*>(second), &QDialog::finished, [&] { closed << QStringLiteral("second"); });
                ClickButton(second, "Button1");
            });
            ShowNotice(QStringLiteral("Error"), QStringLiteral("Receive error !"));
            firstActiveAgain = QApplication::activeModalWidget() == first && first->isVisible();
            ClickButton(first, "Button1");
        });
    });
    ShowNotice(QStringLiteral("Prompt"), QStringLiteral("Disconnect...!"));
    QCOMPARE(firstTitle, QStringLiteral("Prompt"));
    QVERIFY(secondOnTop);
    QVERIFY(firstActiveAgain);
    QCOMPARE(closed, QStringList({QStringLiteral("second"), QStringLiteral("first")}));
}

void TestDialogs::plainMessageBox()
{
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::Critical;
    int buttons = 0;
    ModalDriver::OnOpen([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = int(box->buttons().size());
        QCOMPARE(box->buttons().first()->text(), QStringLiteral("OK"));
        QTest::mouseClick(box->buttons().first(), Qt::LeftButton);
    });
    ShowPlainMessage(QStringLiteral("The file is empty"));
    QCOMPARE(title, QStringLiteral("MOXELD"));
    QCOMPARE(text, QStringLiteral("The file is empty"));
    QCOMPARE(icon, QMessageBox::NoIcon);
    QCOMPARE(buttons, 1);
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
