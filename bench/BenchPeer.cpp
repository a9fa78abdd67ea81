#include "BenchPeer.h"

#include "ProcessStats.h"
#include "SpeedLevels.h"
#include "TButton.h"
#include "TMainForm.h"

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {
constexpr int kRetryMs = 10;
constexpr int kListenAttempts = 60;
constexpr int kListenRetryMs = 500;
} // namespace

BenchPeer::BenchPeer(TMainForm& form) : m_form(form)
{
    m_user.TransferWindowShown = [this] { OnTransferWindow(); };
    m_user.NoticeShown = [this](const QString& title, const QString& text) { OnNotice(title, text); };
}

void BenchPeer::Say(const QByteArray& line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void BenchPeer::ChooseLevel(int level)
{
    // Through the real speed window, as a user would.
    m_user.SpeedLevel = level;
    m_form.Button6->click();
    const SpeedRow row = SpeedLevelRow(level);
    if (m_form.Settings().BlockSize != row.BlockSize || m_form.Settings().ReceiveBufferSize != row.ReceiveBufferSize) {
        Say("error speed window did not apply level " + QByteArray::number(level));
        Finish(1);
    }
}

void BenchPeer::StartReceiver(int level, const QString& savePath)
{
    m_reportResult = true;
    m_user.SavePath = savePath;
    ChooseLevel(level);
    m_form.RadioButton2->click();
    Listen(kListenAttempts, [] { Say("listening"); });
}

void BenchPeer::Listen(int attemptsLeft, std::function<void()> next)
{
    // A failed bind raises from the button's handler; pressed from the loop, the error box shows it.
    // The port may still be held by a process of an earlier run: try again a little later.
    QMetaObject::invokeMethod(m_form.Button3, &QAbstractButton::click, Qt::QueuedConnection);
    QTimer::singleShot(0, this, [this, attemptsLeft, next] {
        if (m_form.ss.Active()) {
            m_ready = true;
            next();
        } else if (attemptsLeft <= 1) {
            Say("error cannot listen on the transfer port");
            Finish(1);
        } else {
            QTimer::singleShot(kListenRetryMs, this, [this, attemptsLeft, next] { Listen(attemptsLeft - 1, next); });
        }
    });
}

void BenchPeer::StartSender(int level, const QString& filePath)
{
    m_reportResult = true;
    m_user.FileToSend = filePath;
    ChooseLevel(level);
    m_form.Edit1->setText(QStringLiteral("127.0.0.1"));
    m_form.Button5->click();
    WhenConnected([this] {
        m_ready = true;
        m_form.Button2->click();
    });
}

void BenchPeer::WhenConnected(std::function<void()> next, int attemptsLeft)
{
    if (m_form.State().Connected) {
        next();
        return;
    }
    if (attemptsLeft <= 0) {
        Say("error not connected");
        Finish(1);
        return;
    }
    QTimer::singleShot(kRetryMs, this, [this, next, attemptsLeft] { WhenConnected(next, attemptsLeft - 1); });
}

void BenchPeer::OnTransferWindow()
{
    m_transferring = true;
    m_bytes = m_form.State().FileSize;
    m_result = {};
    m_result.StartNs = ProcessStats::MonotonicNs();
    m_cpuAtStart = ProcessStats::CpuSeconds();
    m_sleepsAtStart = ProcessStats::ThreadSleeps();
}

void BenchPeer::OnNotice(const QString& title, const QString& text)
{
    const bool completed = text.startsWith(QLatin1String("Transfer completed"));
    if (completed && m_transferring) {
        m_transferring = false;
        m_result.EndNs = ProcessStats::MonotonicNs();
        m_result.CpuSeconds = ProcessStats::CpuSeconds() - m_cpuAtStart;
        m_result.Sleeps = ProcessStats::ThreadSleeps() - m_sleepsAtStart;
        m_result.Bytes = m_bytes;
        if (m_reportResult) {
            m_result.PeakKiB = ProcessStats::PeakResidentKiB();
            std::fputs(m_result.ToLine().constData(), stdout);
            std::fflush(stdout);
            // After the notice is answered; the other side may hang up meanwhile.
            QTimer::singleShot(0, this, [this] { Finish(0); });
        } else {
            Say("done");
        }
        return;
    }
    if (m_finished)
        return;
    Say(("notice " + title + '|' + text).toLocal8Bit());
    if (m_reportResult && m_ready) {
        Say("error the transfer did not complete");
        QTimer::singleShot(0, this, [this] { Finish(1); });
    }
}

void BenchPeer::Finish(int code)
{
    if (m_finished)
        return;
    m_finished = true;
    // Leaves every loop, nested ones included.
    QCoreApplication::exit(code);
}

void BenchPeer::StartIdle()
{
    m_commands = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(m_commands, &QSocketNotifier::activated, this, &BenchPeer::OnCommand);
    Say("ready");
}

void BenchPeer::OnCommand()
{
    char chunk[4096];
    const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (got <= 0) {
        m_commands->setEnabled(false);
        Finish(0);
        return;
    }
    m_pending.append(chunk, got);
    for (qsizetype end; (end = m_pending.indexOf('\n')) >= 0;) {
        const QByteArray line = m_pending.left(end).trimmed();
        m_pending.remove(0, end + 1);
        const QString argument = QString::fromLocal8Bit(line.mid(line.indexOf(' ') + 1));
        // Buttons are pressed from the loop, not from inside this handler, since they may open windows.
        if (line == "receive") {
            m_form.RadioButton2->click();
            Listen(kListenAttempts, [] { Say("ok"); });
        } else if (line == "connect") {
            QTimer::singleShot(0, this, [this] {
                m_form.Edit1->setText(QStringLiteral("127.0.0.1"));
                m_form.Button5->click();
                WhenConnected([] { Say("connected"); });
            });
        } else if (line == "wait-connected") {
            WhenConnected([] { Say("connected"); });
        } else if (line.startsWith("accept ")) {
            m_user.SavePath = argument;
            Say("ok");
        } else if (line.startsWith("send ")) {
            m_user.FileToSend = argument;
            QTimer::singleShot(0, this, [this] { m_form.Button2->click(); });
        } else if (line == "quit") {
            Finish(0);
        }
    }
}
