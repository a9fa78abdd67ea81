#include "RelayLeg.h"

#include <QSocketNotifier>

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <limits>

namespace {
// Past this much unsent data the leg stops reading, so the sender feels the back-pressure.
constexpr qint64 kMaxQueued = 1024 * 1024;

bool NotReady(int code)
{
    return code == EAGAIN || code == EWOULDBLOCK || code == EINTR;
}
} // namespace

RelayLeg::RelayLeg(int from, int to, const RelayShape& shape, QObject* parent)
    : QObject(parent), m_from(from), m_to(to), m_shape(shape)
{
    m_clock.start();
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &RelayLeg::Pump);
    m_readNotifier = new QSocketNotifier(from, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &RelayLeg::OnReadable);
    m_writeNotifier = new QSocketNotifier(to, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, [this] {
        m_writeNotifier->setEnabled(false);
        Pump();
    });
}

RelayLeg::~RelayLeg()
{
    Stop();
}

void RelayLeg::Stop()
{
    m_stopped = true;
    m_timer.stop();
    for (QPointer<QSocketNotifier>* notifier : {&m_readNotifier, &m_writeNotifier}) {
        if (*notifier) {
            (*notifier)->setEnabled(false);
            (*notifier)->deleteLater();
            *notifier = nullptr;
        }
    }
}

void RelayLeg::OnReadable()
{
    char buffer[64 * 1024];
    const ssize_t got = ::recv(m_from, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got < 0) {
        if (!NotReady(errno))
            emit Broken();
        return;
    }
    if (got == 0) {
        m_sourceEnded = true;
        m_readNotifier->setEnabled(false);
        Pump();
        return;
    }
    qint64 due = m_clock.elapsed() + m_shape.DelayMs;
    if (m_shape.HoldMs > 0)
        due = (due / m_shape.HoldMs + 1) * m_shape.HoldMs;
    m_delayed.push_back({due, QByteArray(buffer, got)});
    m_queued += got;
    if (m_queued > kMaxQueued)
        m_readNotifier->setEnabled(false);
    Pump();
}

void RelayLeg::Pump()
{
    if (m_stopped)
        return;
    qint64 now = m_clock.elapsed();
    while (!m_delayed.empty() && m_delayed.front().Due <= now) {
        m_ready += m_delayed.front().Bytes;
        m_delayed.pop_front();
    }
    while (!m_ready.isEmpty()) {
        if (m_shape.PieceGapMs > 0 && now < m_nextPieceAt)
            break;
        qint64 count = m_shape.PieceBytes > 0 ? std::min<qint64>(m_shape.PieceBytes, m_ready.size()) : m_ready.size();
        const qint64 allowance = Allowance ? Allowance() : -1;
        if (allowance >= 0)
            count = std::min(count, allowance);
        if (count == 0) {
            emit AllowanceSpent();
            return;
        }
        const ssize_t sent = ::send(m_to, m_ready.constData(), size_t(count), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            if (!NotReady(errno)) {
                emit Broken();
                return;
            }
            m_writeNotifier->setEnabled(true);
            return;
        }
        m_ready.remove(0, sent);
        m_queued -= sent;
        if (Passed)
            Passed(sent);
        if (Allowance && Allowance() == 0) {
            emit AllowanceSpent();
            return;
        }
        if (m_shape.PieceGapMs > 0) {
            now = m_clock.elapsed();
            m_nextPieceAt = now + m_shape.PieceGapMs;
        }
    }
    if (!m_sourceEnded && m_queued <= kMaxQueued && m_readNotifier)
        m_readNotifier->setEnabled(true);
    if (m_ready.isEmpty() && m_delayed.empty() && m_sourceEnded && !m_shut) {
        m_shut = true;
        ::shutdown(m_to, SHUT_WR);
        emit Ended();
        return;
    }
    qint64 next = std::numeric_limits<qint64>::max();
    if (!m_delayed.empty())
        next = m_delayed.front().Due;
    if (!m_ready.isEmpty())
        next = std::min(next, m_nextPieceAt);
    if (next != std::numeric_limits<qint64>::max())
        m_timer.start(int(std::max<qint64>(0, next - now)));
}
