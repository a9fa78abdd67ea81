#include "ReferencePeer.h"

#include "PeerResult.h"
#include "ProcessStats.h"
#include "SpeedLevels.h"
#include "TransferState.h"

#include <QFileInfo>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kRetries = 100;  // 10 s in steps of 100 ms
constexpr size_t kControlBytes = 64 * 1024;

int Fail(const char* what)
{
    std::fprintf(stderr, "reference: %s: %s\n", what, std::strerror(errno));
    return 1;
}

bool SendAll(int fd, const char* data, size_t count)
{
    while (count > 0) {
        const ssize_t sent = ::send(fd, data, count, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data += sent;
        count -= size_t(sent);
    }
    return true;
}

bool WriteAll(int fd, const char* data, size_t count)
{
    while (count > 0) {
        const ssize_t written = ::write(fd, data, count);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        count -= size_t(written);
    }
    return true;
}

// One control message: whatever one recv() returns, as the program takes it.
std::string ReceiveText(int fd)
{
    std::string text(kControlBytes, '\0');
    const ssize_t got = ::recv(fd, text.data(), text.size(), 0);
    text.resize(got > 0 ? size_t(got) : 0);
    return text;
}

void Report(const PeerResult& result)
{
    const QByteArray line = result.ToLine();
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

} // namespace

namespace ReferencePeer {

int RunReceiver(int level, const QString& savePath)
{
    const SpeedRow row = SpeedLevelRow(level);
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0)
        return Fail("socket");
    const int reuse = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(TransferPort);
    int attempt = 0;
    while (::bind(listener, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        if (errno != EADDRINUSE || ++attempt == kRetries)
            return Fail("bind");
        ::usleep(100'000);
    }
    if (::listen(listener, 5) != 0)
        return Fail("listen");
    std::printf("listening\n");
    std::fflush(stdout);

    const int peer = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (peer < 0)
        return Fail("accept");
    ::close(listener);

    if (ReceiveText(peer).rfind('1', 0) != 0)
        return Fail("no offer");
    const int out = ::open(savePath.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0)
        return Fail("create");
    if (!SendAll(peer, "3", 1))
        return Fail("send 3");
    const std::string announce = ReceiveText(peer);
    if (announce.rfind('7', 0) != 0)
        return Fail("no size");
    const long size = std::stol(announce.substr(1));

    PeerResult result;
    result.StartNs = ProcessStats::MonotonicNs();
    const double cpu = ProcessStats::CpuSeconds();
    const long sleeps = ProcessStats::ThreadSleeps();
    if (!SendAll(peer, "4", 1))
        return Fail("send 4");
    std::vector<char> buffer(size_t(row.ReceiveBufferSize));
    long done = 0;
    while (done < size) {
        const ssize_t got = ::recv(peer, buffer.data(), buffer.size(), 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return Fail("recv");
        if (!WriteAll(out, buffer.data(), size_t(got)))
            return Fail("write");
        done += got;
        if (done < size && !SendAll(peer, "4", 1))
            return Fail("send 4");
    }
    ::close(out);
    if (!SendAll(peer, "6", 1))
        return Fail("send 6");
    result.EndNs = ProcessStats::MonotonicNs();
    result.CpuSeconds = ProcessStats::CpuSeconds() - cpu;
    result.Sleeps = ProcessStats::ThreadSleeps() - sleeps;
    result.Bytes = done;

    // The sender hangs up once it has read "6".
    char rest[256];
    while (::recv(peer, rest, sizeof rest, 0) > 0) {
    }
    ::close(peer);
    result.PeakKiB = ProcessStats::PeakResidentKiB();
    Report(result);
    return 0;
}

int RunSender(int level, const QString& filePath)
{
    const SpeedRow row = SpeedLevelRow(level);
    const int in = ::open(filePath.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return Fail("open");
    struct stat info{};
    if (::fstat(in, &info) != 0)
        return Fail("fstat");
    const long size = long(info.st_size);

    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    remote.sin_port = htons(TransferPort);
    int fd = -1;
    for (int attempt = 0;; ++attempt) {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return Fail("socket");
        if (::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0)
            break;
        if (errno != ECONNREFUSED || attempt == kRetries)
            return Fail("connect");
        ::close(fd);
        ::usleep(100'000);
    }

    std::string offer = "1";
    offer += QFileInfo(filePath).fileName().toStdString();
    offer += "#127.0.0.1";
    if (!SendAll(fd, offer.data(), offer.size()))
        return Fail("send offer");
    if (ReceiveText(fd).rfind('3', 0) != 0)
        return Fail("not accepted");
    std::string announce = "7";
    announce += std::to_string(size);
    if (!SendAll(fd, announce.data(), announce.size()))
        return Fail("send size");

    PeerResult result;
    result.StartNs = ProcessStats::MonotonicNs();
    const double cpu = ProcessStats::CpuSeconds();
    const long sleeps = ProcessStats::ThreadSleeps();
    // The file is read in large pieces; each request takes the next BlockSize bytes of them.
    std::vector<char> file(64 * 1024);
    size_t fileUsed = 0;
    size_t fileHeld = 0;
    std::vector<char> requests(kControlBytes);
    long sent = 0;
    long owed = 0;
    bool done = false;
    while (!done) {
        // Wait for a request only when none is owed; otherwise just take what has come meanwhile, so
        // that a receiver asking faster than blocks go out never fills this side's queue.
        const int flags = owed == 0 ? 0 : MSG_DONTWAIT;
        const ssize_t got = ::recv(fd, requests.data(), requests.size(), flags);
        if (got == 0 || (got < 0 && owed == 0 && errno != EINTR))
            return Fail("recv");
        for (ssize_t i = 0; i < got; ++i) {
            if (requests[size_t(i)] == '4')
                ++owed;
            else if (requests[size_t(i)] == '6')
                done = true;
        }
        while (owed > 0 && !done) {
            --owed;
            const size_t count = size_t(std::min<long>(row.BlockSize, size - sent));
            if (count == 0)
                continue;
            char block[4096];
            for (size_t copied = 0; copied < count;) {
                if (fileUsed == fileHeld) {
                    const ssize_t read = ::read(in, file.data(), file.size());
                    if (read <= 0)
                        return Fail("read");
                    fileHeld = size_t(read);
                    fileUsed = 0;
                }
                const size_t piece = std::min(count - copied, fileHeld - fileUsed);
                std::memcpy(block + copied, file.data() + fileUsed, piece);
                fileUsed += piece;
                copied += piece;
            }
            if (!SendAll(fd, block, count))
                return Fail("send block");
            sent += long(count);
            break;  // look for more requests between blocks
        }
    }
    result.EndNs = ProcessStats::MonotonicNs();
    result.CpuSeconds = ProcessStats::CpuSeconds() - cpu;
    result.Sleeps = ProcessStats::ThreadSleeps() - sleeps;
    result.Bytes = sent;
    ::close(in);
    ::close(fd);
    result.PeakKiB = ProcessStats::PeakResidentKiB();
    Report(result);
    return 0;
}

} // namespace ReferencePeer
