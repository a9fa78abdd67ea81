#pragma once

#include "ReceivingSide.h"
#include "ScriptedView.h"
#include "SendingSide.h"
#include "TClientSocket.h"
#include "TServerSocket.h"
#include "WaitUntil.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <memory>

// A sending and a receiving side in one process, each with its own state, settings and scripted view.
struct SenderPeer {
    TransferState State;
    TransferSettings Settings;
    ScriptedView View;
    TClientSocket cs;
    SendingSide Side{State, Settings, cs, View};
};

struct ReceiverPeer {
    TransferState State;
    TransferSettings Settings;
    ScriptedView View;
    TServerSocket ss;
    ReceivingSide Side{State, Settings, ss, View};
};

// One of each; test fixtures add how they connect.
struct PeerPair {
    std::unique_ptr<ReceiverPeer> Receiver = std::make_unique<ReceiverPeer>();
    std::unique_ptr<SenderPeer> Sender = std::make_unique<SenderPeer>();

    // Offers path; the receiving user saves it as savePath.
    void Offer(const QString& path, const QString& savePath)
    {
        Sender->View.FilesToSend.enqueue(path);
        Receiver->View.Answers.enqueue(true);
        Receiver->View.SavePaths.enqueue(savePath);
        Sender->Side.Button2Click();
    }

    bool BothCompleted(int timeoutMs)
    {
        return WaitUntil([&] {
            return Sender->View.LastNotice() == QLatin1String("Transfer completed !!")
                && Receiver->View.LastNotice() == QLatin1String("Transfer completed !");
        }, timeoutMs);
    }
};

inline QByteArray RandomBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(generator.generate() & 0xff);
    return bytes;
}

inline bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

inline QByteArray FileSha256(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result().toHex();
}
