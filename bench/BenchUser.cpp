#include "BenchUser.h"

#include "TBufferSet.h"
#include "TButton.h"
#include "TLabel.h"
#include "TPrompt.h"
#include "TSaveQuery.h"
#include "TTransfer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QSlider>
#include <QTimer>
#include <QWindow>

namespace {
constexpr int kAnswerAttempts = 200;
constexpr int kRetryMs = 20;
} // namespace

BenchUser::BenchUser(QObject* parent) : QObject(parent)
{
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &BenchUser::Look);
}

void BenchUser::Look()
{
    QWidget* top = QApplication::activeModalWidget();
    if (!top)
        return;
    if (qobject_cast<TTransfer*>(top)) {
        if (m_lastTransferWindow != top) {
            m_lastTransferWindow = top;
            if (TransferWindowShown)
                TransferWindowShown();
        }
        return;
    }
    if (m_lastAnswered == top)
        return;
    m_lastAnswered = top;
    if (auto* notice = qobject_cast<TPrompt*>(top)) {
        if (NoticeShown)
            NoticeShown(notice->windowTitle(), notice->Label1->text());
    } else if (auto* box = qobject_cast<QMessageBox*>(top)) {
        if (NoticeShown)
            NoticeShown(box->windowTitle(), box->text());
    }
    // Answer from the window's own loop, not from inside the focus change.
    AnswerSoon(top, kAnswerAttempts);
}

void BenchUser::AnswerSoon(QWidget* top, int attemptsLeft)
{
    // A file dialog may not take a path until it has settled: try again while it stays open.
    const QPointer<QWidget> window(top);
    QTimer::singleShot(attemptsLeft == kAnswerAttempts ? 0 : kRetryMs, this, [this, window, attemptsLeft] {
        if (!window || !window->isVisible())
            return;
        Answer(window);
        if (attemptsLeft > 1)
            AnswerSoon(window, attemptsLeft - 1);
    });
}

void BenchUser::Answer(QWidget* window)
{
    if (auto* notice = qobject_cast<TPrompt*>(window)) {
        notice->Button1->click();
    } else if (auto* query = qobject_cast<TSaveQuery*>(window)) {
        // The offer is saved when a path is scripted; Cancel's question is always answered No.
        const bool yes = query->windowTitle() != QLatin1String("Query") && !SavePath.isEmpty();
        (yes ? query->Button1 : query->Button2)->click();
    } else if (auto* speed = qobject_cast<TBufferSet*>(window)) {
        speed->TrackBar1->setValue(SpeedLevel);
        speed->Button1->click();
    } else if (auto* chooser = qobject_cast<QFileDialog*>(window)) {
        const QString path = chooser->objectName() == QLatin1String("OpenDialog1") ? FileToSend : SavePath;
        if (path.isEmpty()) {
            chooser->reject();
            return;
        }
        // Typed, as a user would: selectFile() leaves a focused name box alone.
        if (auto* name = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            name->setText(path);
        else
            chooser->selectFile(path);
        QMetaObject::invokeMethod(chooser, "accept");

    } else if (auto* box = qobject_cast<QMessageBox*>(window)) {
        box->buttons().constFirst()->click();
    }
}
