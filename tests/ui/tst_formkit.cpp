// The building blocks of the fixed-layout windows: fonts, window setup, labels, buttons
// and moving a window by its background.

#include "FormKit.h"

#include <QFontInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

void SendMouse(QWidget* widget, QEvent::Type type, QPoint local, QPoint global,
               Qt::MouseButtons buttons)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(local), QPointF(global), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// Presses at the middle of widget, drags by delta in two steps and releases.
void Drag(QWidget* widget, QPoint delta)
{
    const QPoint local(widget->width() / 2, widget->height() / 2);
    const QPoint start = widget->mapToGlobal(local);
    SendMouse(widget, QEvent::MouseButtonPress, local, start, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseMove, local + delta / 2, start + delta / 2, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseMove, local + delta, start + delta, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseButtonRelease, local + delta, start + delta, Qt::NoButton);
}

}  // namespace

class TestFormKit : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void classicFontIsNarrowAndPixelExact_data();
    void classicFontIsNarrowAndPixelExact();
    void mainWindowSetupHasMinimiseButton();
    void labelsFollowTheirText();
    void enterPressesTheFocusedButton();
    void dragsByBackgroundLabelsPicturesAndLines_data();
    void dragsByBackgroundLabelsPicturesAndLines();
    void controlsDoNotDrag_data();
    void controlsDoNotDrag();
};

void TestFormKit::cleanup()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestFormKit::classicFontIsNarrowAndPixelExact_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("pixels");
    QTest::newRow("8 pt") << 8 << 11;
    QTest::newRow("10 pt") << 10 << 13;
    QTest::newRow("14 pt") << 14 << 19;
}

void TestFormKit::classicFontIsNarrowAndPixelExact()
{
    QFETCH(int, points);
    QFETCH(int, pixels);
    const QFont font = ClassicFont(points, true);
    QCOMPARE(font.family(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(font.pixelSize(), pixels);
    QVERIFY(font.bold());
    const QString resolved = QFontInfo(font).family();
    QVERIFY2(resolved == QLatin1String("Carlito"),
             qPrintable(resolved + QStringLiteral(" instead of Carlito: install fonts-crosextra-carlito")));

    // The longest radio caption of the main window fits its 149-pixel box with the indicator.
    if (points == 8) {
        const int text = QFontMetrics(ClassicFont()).horizontalAdvance(
            QStringLiteral("Receive files from my friend"));
        QVERIFY2(text + 20 <= 149, qPrintable(QString::number(text)));
    }
}

void TestFormKit::mainWindowSetupHasMinimiseButton()
{
    QWidget window;
    SetupFixedWindow(&window, 310, 287, QStringLiteral("MOXELD - Pellwick"),
                     WindowButtons::MinimizeAndClose);
    window.show();
    QCOMPARE(window.size(), QSize(310, 287));
    QCOMPARE(window.maximumSize(), QSize(310, 287));
    QCOMPARE(window.windowTitle(), QStringLiteral("MOXELD - Pellwick"));
    QVERIFY(window.isWindow());
    QVERIFY(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(window.windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!window.windowIcon().isNull());
    QCOMPARE(window.font().pixelSize(), 11);
}

void TestFormKit::labelsFollowTheirText()
{
    QWidget window;
    window.resize(310, 287);
    LabelStyle red;
    red.color = QColor(255, 0, 0);
    TLabel* status = AddLabel(&window, QStringLiteral("Label2"), 29, 260, QStringLiteral("Welcome"), red);
    QCOMPARE(status->objectName(), QStringLiteral("Label2"));
    QCOMPARE(status->textColor(), QColor(255, 0, 0));
    const int shortWidth = status->width();
    status->setText(QStringLiteral("Waiting for your friend connecting..."));
    QVERIFY(status->width() > shortWidth);
    QCOMPARE(status->pos(), QPoint(29, 260));
    QCOMPARE(status->height(), status->fontMetrics().height());
    status->setTextColor(QColor(0, 0, 0));
    QCOMPARE(status->textColor(), QColor(0, 0, 0));

    // Markup in a file name is shown as typed.
    status->setText(QStringLiteral("<b>x</b>.txt"));
    QCOMPARE(status->textFormat(), Qt::PlainText);
    QCOMPARE(status->width(), status->fontMetrics().horizontalAdvance(QStringLiteral("<b>x</b>.txt")));

    TLabel* anchored = AddLabel(&window, QStringLiteral("Label7"), 136, 76, QStringLiteral("abc"));
    anchored->setRightEdge(247);
    anchored->setText(QStringLiteral("a much longer text"));
    QCOMPARE(anchored->x() + anchored->width(), 247);
}

void TestFormKit::enterPressesTheFocusedButton()
{
    // A plain window, as the main window is: no dialog default-button rules.
    QWidget window;
    SetupFixedWindow(&window, 200, 100, QStringLiteral("w"), WindowButtons::MinimizeAndClose);
    TButton* first = AddButton(&window, QStringLiteral("Button1"), {10, 10, 60, 23}, QStringLiteral("&One"));
    TButton* second = AddButton(&window, QStringLiteral("Button2"), {80, 10, 60, 23}, QStringLiteral("&Two"));
    QSignalSpy firstSpy(first, &QPushButton::clicked);
    QSignalSpy secondSpy(second, &QPushButton::clicked);
    window.show();
    second->setFocus();
    QTest::keyClick(second, Qt::Key_Return);
    QCOMPARE(secondSpy.count(), 1);
    QCOMPARE(firstSpy.count(), 0);
    QTest::keyClick(second, Qt::Key_Space);
    QCOMPARE(secondSpy.count(), 2);
}

void TestFormKit::dragsByBackgroundLabelsPicturesAndLines_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("background") << "Image1";
    QTest::newRow("label") << "Label1";
    QTest::newRow("picture") << "Image2";
    QTest::newRow("line") << "Bevel1";
    QTest::newRow("window itself") << "";
}

void TestFormKit::dragsByBackgroundLabelsPicturesAndLines()
{
    QFETCH(QString, target);
    QWidget window;
    SetupFixedWindow(&window, 200, 120, QStringLiteral("w"), WindowButtons::MinimizeAndClose);
    AddLabel(&window, QStringLiteral("Label1"), 10, 10, QStringLiteral("Drag me"));
    AddIcon(&window, QStringLiteral("Image2"), {10, 30, 34, 34}, IconId::Mascot);
    AddLine(&window, QStringLiteral("Bevel1"), {60, 30, 100, 11});
    AddButton(&window, QStringLiteral("Button1"), {100, 80, 60, 23}, QStringLiteral("&Go"));
    // Added before and after installing: both kinds are watched.
    TWindowDragger::Install(&window);
    AddBackground(&window);
    window.show();
    const QPoint before = window.pos();

    QWidget* widget = target.isEmpty() ? &window : window.findChild<QWidget*>(target);
    QVERIFY(widget);
    Drag(widget, QPoint(30, 17));
    QCOMPARE(window.pos(), before + QPoint(30, 17));

    // After the release, plain moves no longer move it.
    const QPoint local(2, 2);
    SendMouse(widget, QEvent::MouseMove, local + QPoint(50, 50), widget->mapToGlobal(local) + QPoint(50, 50),
              Qt::NoButton);
    QCOMPARE(window.pos(), before + QPoint(30, 17));
}

void TestFormKit::controlsDoNotDrag_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("push button") << "button";
    QTest::newRow("radio button") << "radio";
    QTest::newRow("edit box") << "edit";
    QTest::newRow("progress bar") << "progress";
}

void TestFormKit::controlsDoNotDrag()
{
    QFETCH(QString, kind);
    QWidget window;
    SetupFixedWindow(&window, 200, 120, QStringLiteral("w"), WindowButtons::MinimizeAndClose);
    AddBackground(&window);
    QWidget* control = nullptr;
    if (kind == QLatin1String("button"))
        control = AddButton(&window, QStringLiteral("Button1"), {20, 20, 73, 23}, QStringLiteral("&Go"));
    else if (kind == QLatin1String("radio"))
        control = new QRadioButton(QStringLiteral("Radio"), &window);
    else if (kind == QLatin1String("edit"))
        control = new QLineEdit(&window);
    else
        control = new QProgressBar(&window);
    control->setGeometry(20, 20, 120, 23);
    TWindowDragger* dragger = TWindowDragger::Install(&window);
    window.show();
    const QPoint before = window.pos();

    // Pressed away from the radio's caption, the radio ignores the press and its parent
    // gets it: still no move.
    auto* button = qobject_cast<TButton*>(control);
    std::unique_ptr<QSignalSpy> clicks;
    if (button)
        clicks = std::make_unique<QSignalSpy>(button, &QAbstractButton::clicked);
    Drag(control, QPoint(5, 2));  // ends inside the control, so the push button is clicked
    QCOMPARE(window.pos(), before);
    QVERIFY(!dragger->IsMovingByHand());
    if (clicks)
        QCOMPARE(clicks->count(), 1);
}

QTEST_MAIN(TestFormKit)
#include "tst_formkit.moc"
