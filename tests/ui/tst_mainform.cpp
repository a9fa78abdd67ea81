// The main window on the offscreen platform: layout, mode switch, status line, Exit, Help, dragging.
#include "ModalDriver.h"

#include "Dialogs.h"
#include "TButton.h"
#include "TLabel.h"
#include "TMainForm.h"
#include "TSaveQuery.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

class tst_MainForm : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        // No window may outlive its test.
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void freshStart()
    {
        TMainForm form;
        QCOMPARE(form.windowTitle(), QString("MOXELD - Pellwick"));
        QVERIFY(form.RadioButton1->isChecked());
        QVERIFY(!form.RadioButton2->isChecked());
        QVERIFY(form.Button5->isEnabled());
        QCOMPARE(form.Button5->text(), QString("&Connect"));
        QVERIFY(!form.Button2->isEnabled());
        QVERIFY(!form.Button3->isEnabled());
        QCOMPARE(form.Button3->text(), QString("&Receive"));
        QCOMPARE(form.Label2->text(), QString("Welcome to use MOXELD to Pellwick  !"));
        QCOMPARE(form.Settings().BlockSize, 1024);
        QCOMPARE(form.Settings().ReceiveBufferSize, 1080);
        QCOMPARE(form.Settings().SpeedLevel, 3);
        QVERIFY(form.State().SenderRole);
        QVERIFY(!form.State().Connected);
        QVERIFY(!form.cs.Active());
        QVERIFY(!form.ss.Active());
        QCOMPARE(form.cs.Port(), 0);
        QCOMPARE(form.ss.Port(), 0);
    }

    void controlsStandWhereTheyBelong_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("box");
        QTest::addColumn<QString>("caption");
        QTest::newRow("Image1") << "Image1" << QRect(0, 0, 310, 287) << "";
        QTest::newRow("Image3") << "Image3" << QRect(23, 47, 41, 38) << "";
        QTest::newRow("Image2") << "Image2" << QRect(63, 47, 41, 38) << "";
        QTest::newRow("Bevel1") << "Bevel1" << QRect(109, 52, 164, 11) << "";
        QTest::newRow("RadioButton1") << "RadioButton1" << QRect(106, 59, 144, 17) << "Transfer files t&o my friend";
        QTest::newRow("Edit1") << "Edit1" << QRect(129, 84, 145, 21) << "";
        QTest::newRow("Button5") << "Button5" << QRect(128, 114, 63, 23) << "&Connect";
        QTest::newRow("Button2") << "Button2" << QRect(194, 114, 82, 23) << "&Transfer files ...";
        QTest::newRow("Image4") << "Image4" << QRect(23, 141, 41, 38) << "";
        QTest::newRow("Image5") << "Image5" << QRect(63, 141, 41, 38) << "";
        QTest::newRow("Bevel2") << "Bevel2" << QRect(109, 145, 166, 11) << "";
        QTest::newRow("RadioButton2") << "RadioButton2" << QRect(108, 154, 149, 17) << "Receive files &from my friend";
        QTest::newRow("Button3") << "Button3" << QRect(203, 175, 73, 23) << "&Receive";
        QTest::newRow("Bevel3") << "Bevel3" << QRect(32, 207, 243, 11) << "";
        QTest::newRow("Button6") << "Button6" << QRect(32, 217, 54, 23) << "&Option";
        QTest::newRow("Button4") << "Button4" << QRect(95, 217, 54, 23) << "&Info";
        QTest::newRow("Button7") << "Button7" << QRect(158, 217, 54, 23) << "&Help";
        QTest::newRow("Button1") << "Button1" << QRect(221, 217, 54, 23) << "&Exit";
        QTest::newRow("Bevel4") << "Bevel4" << QRect(32, 249, 244, 11) << "";
    }

    void controlsStandWhereTheyBelong()
    {
        QFETCH(QString, name);
        QFETCH(QRect, box);
        QFETCH(QString, caption);
        TMainForm form;
        QCOMPARE(form.size(), QSize(310, 287));
        auto* control = form.findChild<QWidget*>(name);
        QVERIFY2(control, qPrintable(name));
        QCOMPARE(control->geometry(), box);
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            QCOMPARE(button->text(), caption);
    }

    void labelsAndTabOrder()
    {
        TMainForm form;
        // Labels size themselves; their top-left corners are fixed.
        QCOMPARE(form.Label3->pos(), QPoint(17, 10));
        QCOMPARE(form.Label3->text(), QString("MOXELD - Pellwick"));
        QVERIFY(form.Label3->font().bold());
        QCOMPARE(form.Label1->pos(), QPoint(16, 87));
        QCOMPARE(form.Label1->text(), QString("My friend's IP address : "));
        QCOMPARE(form.Label2->pos(), QPoint(29, 260));
        // Every caption fits inside its box.
        for (QAbstractButton* button : form.findChildren<QAbstractButton*>()) {
            const int indicator = qobject_cast<QRadioButton*>(button) ? 20 : 6;
            const int text = button->fontMetrics().horizontalAdvance(QString(button->text()).remove('&'));
            QVERIFY2(text + indicator <= button->width(), qPrintable(button->objectName()));
        }

        const QList<QWidget*> expected{form.RadioButton1, form.Edit1, form.Button5, form.Button2, form.RadioButton2,
                                       form.Button3, form.Button4, form.Button1, form.Button7, form.Button6};
        auto nextTabStop = [](QWidget* widget) {
            do
                widget = widget->nextInFocusChain();
            while (!(widget->focusPolicy() & Qt::TabFocus));
            return widget;
        };
        for (int i = 0; i + 1 < expected.size(); ++i)
            QCOMPARE(nextTabStop(expected[i]), expected[i + 1]);
    }

    void modeSwitch()
    {
        TMainForm form;
        form.show();
        form.RadioButton2->click();
        QVERIFY(!form.Label1->isEnabled());
        QVERIFY(!form.Edit1->isEnabled());
        QVERIFY(!form.Button5->isEnabled());
        QVERIFY(!form.Button2->isEnabled());
        QVERIFY(form.Button3->isEnabled());
        QCOMPARE(form.Label2->text(), QString("Receive files from my friend"));
        QCOMPARE(form.Label2->textColor(), QColor(0, 0, 0));

        form.RadioButton1->click();
        QVERIFY(form.Label1->isEnabled());
        QVERIFY(form.Edit1->isEnabled());
        QVERIFY(form.Button5->isEnabled());
        QVERIFY(!form.Button2->isEnabled());
        QVERIFY(!form.Button3->isEnabled());
        QCOMPARE(form.Label2->text(), QString("Transfer files to my friend"));

        // Pressing the mode that is already selected runs nothing.
        form.SetStatus(StatusColour::Red, "kept");
        form.RadioButton1->click();
        QCOMPARE(form.Label2->text(), QString("kept"));
    }

    void statusColours()
    {
        TMainForm form;
        form.SetStatus(StatusColour::Red, "Error");
        QCOMPARE(form.Label2->textColor(), QColor(255, 0, 0));
        form.SetStatus(StatusColour::Black, "Connect successfully, you can transfer your file now !");
        QCOMPARE(form.Label2->textColor(), QColor(0, 0, 0));
        QCOMPARE(form.Label2->pos(), QPoint(29, 260));
        QVERIFY(form.Label2->width() > 200);
    }

    void enterInTheAddressBoxConnects()
    {
        TMainForm form;
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QString notice;
        ModalDriver::OnOpen([&](QWidget* modal) {
            notice = modal->windowTitle() + '|' + modal->findChild<TLabel*>("Label1")->text();
            modal->close();
        });
        form.Edit1->setFocus();
        QTest::keyClick(form.Edit1, Qt::Key_Return);
        QCOMPARE(notice, QString("Error|Please input your friend's IP address !"));
        QTRY_COMPARE(form.focusWidget(), form.Button5);
    }

    void exitAsksOnlyWhileConnected()
    {
        TMainForm form;
        form.show();
        QSignalSpy terminated(&form, &TMainForm::TerminateRequested);
        form.Button1->click();
        QCOMPARE(terminated.count(), 1);

        form.State().Connected = true;
        QStringList asked;
        auto answer = [&](const char* button) {
            ModalDriver::OnOpen([&asked, button](QWidget* modal) {
                auto* query = qobject_cast<TSaveQuery*>(modal);
                QVERIFY(query);
                asked << query->windowTitle() + '|' + query->Label1->text() + '|' + query->Label2->text() + '|'
                             + query->Button1->text() + '|' + query->Button2->text();
                modal->findChild<TButton*>(button)->click();
            });
        };
        answer("Button2");
        form.Button1->click();
        QCOMPARE(terminated.count(), 1);
        QVERIFY(form.State().Connected);
        QCOMPARE(asked.value(0),
                 QString("Query|It's still connected...|Do you really want to TERMINATE ?|&Yes|&No"));

        answer("Button1");
        form.Button1->click();
        QCOMPARE(terminated.count(), 2);
    }

    void helpWithoutAFileSaysNothing()
    {
        TMainForm form;
        form.show();
        const int before = QApplication::topLevelWidgets().size();
        form.Button7->click();
        QCoreApplication::processEvents();
        QCOMPARE(QApplication::topLevelWidgets().size(), before);
        QVERIFY(!QApplication::activeModalWidget());
    }

    void dragByTheBackgroundNotByTheControls()
    {
        TMainForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QPoint start = form.pos();

        // Pressing a button never moves the window.
        QTest::mousePress(form.Button6, Qt::LeftButton, {}, {5, 5});
        QTest::mouseMove(form.Button6, {40, 30});
        QTest::mouseRelease(form.Button6, Qt::LeftButton, {}, {40, 30});
        QCOMPARE(form.pos(), start);

        // The status line is background: dragging it moves the window.
        QWidget* status = form.Label2;
        QTest::mousePress(status, Qt::LeftButton, {}, {5, 5});
        QMouseEvent move(QEvent::MouseMove, QPointF(35, 25), status->mapToGlobal(QPointF(35, 25)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(status, &move);
        QTest::mouseRelease(status, Qt::LeftButton, {}, {35, 25});
        QTRY_COMPARE(form.pos(), start + QPoint(30, 20));
    }
};

QTEST_MAIN(tst_MainForm)
#include "tst_mainform.moc"
