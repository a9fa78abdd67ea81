// Fuzzes the receiving side's control phase through a real connection. The input is a script: its
// first byte sets the user's answers, the rest are messages separated by 0xFF bytes, each written as
// one send and dealt with before the next. Properties checked after every input: the side asks at most
// once per message, suggests only bare names, shows no control characters, writes nothing but the
// chosen file, calls nothing completed without an accepted file, and leaves no connection behind.
#include "ReceivingSide.h"
#include "ScriptedView.h"
#include "TServerSocket.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <memory>

namespace {
// Failures the side raises on purpose (a size that is no number, a file that cannot be created) reach
// the application's error box; here they are simply counted.
class CatchingApplication : public QCoreApplication {
public:
    using QCoreApplication::QCoreApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QCoreApplication::notify(receiver, event);
        } catch (const std::exception&) {
            ++Raised;
        }
        return false;
    }
    int Raised = 0;
};

struct Harness {
    QTemporaryDir Dir;
    TransferState State;
    TransferSettings Settings;
    ScriptedView View;
    TServerSocket ss;
    ReceivingSide Side{State, Settings, ss, View};
    quint16 Port = 0;

    Harness()
    {
        Side.SetControlQuietMs(0);
        ss.setPort(0);
        ss.Open();
        Port = ss.Socket().LocalPort();
        View.ReceiveButton = QStringLiteral("Sto&p");
    }

    bool Settled(int client)
    {
        // Replies are read and dropped, so the connection never fills.
        char sink[4096];
        while (::recv(client, sink, sizeof sink, MSG_DONTWAIT) > 0) {
        }
        for (int i = 0; i < ss.Socket().ActiveConnections(); ++i) {
            if (ss.Socket().Connections(i)->BytesWaiting() > 0)
                return false;
        }
        return !Side.ControlPending();
    }

    void Pump(const std::function<bool()>& done)
    {
        // Bounded in time, not in rounds: on a loaded machine the kernel can take a while to deliver.
        const QDeadlineTimer deadline(5000);
        while (!done() && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
};

Harness* harness = nullptr;

void Check(bool condition)
{
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static CatchingApplication application(*argc, *argv);
    harness = new Harness;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Harness& h = *harness;
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString chosen = h.Dir.filePath(QStringLiteral("chosen.bin"));
    const quint8 script = input.isEmpty() ? 0 : quint8(input[0]);
    for (int i = 0; i < 8; ++i) {
        h.View.Answers.enqueue(script & (1u << i));
        h.View.SavePaths.enqueue((script >> i) & 2u ? chosen : QString());
    }

    const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(h.Port);
    Check(::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
    h.Pump([&] { return h.State.Connected; });
    Check(h.State.Connected);

    const QList<QByteArray> messages = input.mid(1).split('\xff');
    for (const QByteArray& message : messages) {
        if (message.isEmpty())
            continue;
        const qsizetype asked = h.View.Questions.size();
        Check(::send(client, message.constData(), size_t(message.size()), MSG_NOSIGNAL) == message.size());
        h.Pump([&] { return h.Settled(client); });
        Check(h.View.Questions.size() <= asked + 1);
    }
    ::close(client);
    h.Pump([&] { return !h.State.Connected && h.ss.Socket().ActiveConnections() == 0; });
    Check(!h.State.Connected && h.ss.Socket().ActiveConnections() == 0);

    for (const QString& name : h.View.SuggestedNames) {
        Check(!name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')));
        Check(name != QLatin1String(".") && name != QLatin1String("..") && name.size() <= 255);
    }
    for (const QString& question : h.View.Questions) {
        Check(question.size() <= 600);
        for (const QChar c : question)
            Check(c.category() != QChar::Other_Control && c.category() != QChar::Other_Format);
    }
    const QStringList written = QDir(h.Dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    Check(written.isEmpty() || written == QStringList(QStringLiteral("chosen.bin")));
    for (const ScriptedView::Notice& notice : h.View.Notices) {
        if (notice.Message == QLatin1String("Transfer completed !"))
            Check(!written.isEmpty());
    }

    QFile::remove(chosen);
    h.View.Answers.clear();
    h.View.SavePaths.clear();
    h.View.Questions.clear();
    h.View.SuggestedNames.clear();
    h.View.Notices.clear();
    h.View.WindowsOpened.clear();
    return 0;
}
