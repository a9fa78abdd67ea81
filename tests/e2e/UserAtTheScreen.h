#pragma once

#include "TBufferSet.h"
#include "TButton.h"
#include "TLabel.h"
#include "TProgressBar.h"
#include "TPrompt.h"
#include "TSaveQuery.h"
#include "TTransfer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QQueue>
#include <QSlider>
#include <QTimer>

#include <functional>

// Looks at the window on top every few milliseconds and answers it as a user would, from a script;
// records what each window said. Both peers of a test share one screen, as they share one process.
class UserAtTheScreen : public QObject {
    Q_OBJECT

public:
    QQueue<QString> FilesToOpen;
    QQueue<QString> SavePaths;
    QQueue<bool> SaveAnswers;   // the offer question
    QQueue<bool> QueryAnswers;  // "Query" questions
    QQueue<int> SpeedLevels;    // the speed window: slide to the level and press Ok
    // Called on each look at an open transfer window.
    std::function<void(TTransfer*)> WhileTransferring;

    QStringList Seen;
    QStringList TransferWindowLines;

    UserAtTheScreen()
    {
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, &UserAtTheScreen::Look);
        m_timer.start();
    }

    bool SawAll(const QStringList& expected) const
    {
        for (const QString& line : expected)
            if (!Seen.contains(line))
                return false;
        return true;
    }

    // Presses from the loop, not from inside this look: a timer never fires again while its own
    // handler runs, so a window that the press opens must not keep this one waiting.
    static void Press(QAbstractButton* button)
    {
        QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
    }

private:
    void Look()
    {
        QWidget* top = QApplication::activeModalWidget();
        if (!top)
            return;
        m_answered.removeAll(nullptr);
        m_windows.removeAll(nullptr);
        if (auto* transfer = qobject_cast<TTransfer*>(top)) {
            if (!m_windows.contains(transfer)) {
                m_windows << transfer;
                TransferWindowLines << transfer->label2->text() + '|' + transfer->Label1->text() + '|'
                                           + transfer->Label3->text();
            }
            if (WhileTransferring)
                WhileTransferring(transfer);
            return;
        }
        if (m_answered.contains(top))
            return;
        m_answered << top;

        if (auto* notice = qobject_cast<TPrompt*>(top)) {
            Seen << notice->windowTitle() + '|' + notice->Label1->text();
            Press(notice->Button1);
        } else if (auto* query = qobject_cast<TSaveQuery*>(top)) {
            Seen << query->windowTitle() + '|' + query->Label1->text() + '|' + query->Label2->text();
            QQueue<bool>& answers = query->windowTitle() == QLatin1String("Query") ? QueryAnswers : SaveAnswers;
            const bool yes = !answers.isEmpty() && answers.dequeue();
            Press(yes ? query->Button1 : query->Button2);
        } else if (auto* chooser = qobject_cast<QFileDialog*>(top)) {
            QQueue<QString>& paths = chooser->objectName() == QLatin1String("OpenDialog1") ? FilesToOpen : SavePaths;
            if (paths.isEmpty()) {
                QMetaObject::invokeMethod(chooser, "reject", Qt::QueuedConnection);
                return;
            }
            chooser->selectFile(paths.dequeue());
            QMetaObject::invokeMethod(chooser, "accept", Qt::QueuedConnection);
        } else if (auto* speed = qobject_cast<TBufferSet*>(top)) {
            Seen << QStringLiteral("Speed|%1").arg(speed->TrackBar1->value());
            if (SpeedLevels.isEmpty()) {
                Press(speed->Button2);
                return;
            }
            speed->TrackBar1->setValue(SpeedLevels.dequeue());
            Press(speed->Button1);
        } else if (auto* box = qobject_cast<QMessageBox*>(top)) {
            Seen << QStringLiteral("Box|") + box->text();
            Press(box->buttons().constFirst());
        }
    }

    QTimer m_timer;
    // Windows already dealt with; a closed one drops out, so a new one at the same address is not missed.
    QList<QPointer<QWidget>> m_answered;
    QList<QPointer<QWidget>> m_windows;
};
