#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <deque>
#include <functional>

class QSocketNotifier;

// How one direction of the relay treats the bytes it carries.
struct RelayShape {
    int DelayMs = 0;     // every byte leaves this long after it arrived
    int PieceBytes = 0;  // > 0: each send carries at most this many bytes
    int PieceGapMs = 0;  // pause between two pieces
    int HoldMs = 0;      // > 0: bytes wait for the next multiple of HoldMs and leave together, in bursts
};

// One direction of a relayed connection: reads from one socket, shapes, writes to the other. It owns no
// descriptor; the relay closes both after Stop().
class RelayLeg : public QObject {
    Q_OBJECT

public:
    RelayLeg(int from, int to, const RelayShape& shape, QObject* parent = nullptr);
    ~RelayLeg() override;

    // How many more bytes may pass before the connection is reset; negative for no limit.
    std::function<qint64()> Allowance;
    // Told of every byte that passed.
    std::function<void(qint64)> Passed;

    // No more notifications or timers; called before the relay closes the descriptors.
    void Stop();

signals:
    // The source closed in order and every byte went out; the far side was shut for writing.
    void Ended();
    // A reset or a failure on either socket.
    void Broken();
    // The allowance is used up: the relay resets the connection now.
    void AllowanceSpent();

private:
    void OnReadable();
    void Pump();

    int m_from;
    int m_to;
    RelayShape m_shape;
    QElapsedTimer m_clock;
    QPointer<QSocketNotifier> m_readNotifier;
    QPointer<QSocketNotifier> m_writeNotifier;
    QTimer m_timer;

    struct Chunk {
        qint64 Due;
        QByteArray Bytes;
    };
    std::deque<Chunk> m_delayed;
    QByteArray m_ready;
    qint64 m_queued = 0;
    qint64 m_nextPieceAt = 0;
    bool m_sourceEnded = false;
    bool m_shut = false;
    bool m_stopped = false;
};
