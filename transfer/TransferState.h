#pragma once

#include <QFile>
#include <QString>

#include <cstdint>
#include <memory>

inline constexpr quint16 TransferPort = 1898;

// What one transfer needs; one instance per main window.
struct TransferState {
    bool SenderRole = true;
    bool Connected = false;
    bool Transferring = false;
    bool ControlPhase = true;
    int32_t FileSize = 0;
    int32_t BytesDone = 0;
    std::unique_ptr<QFile> FileStream;
    QString FileName;
    QString SenderAddress;
    QString ReceiverAddress;

    // Closes the open file, if any, and forgets it.
    void CloseFile() { FileStream.reset(); }
};

// Per-window speed settings; they never travel on the wire.
struct TransferSettings {
    int BlockSize = 1024;
    int ReceiveBufferSize = 1080;
    int SpeedLevel = 3;
};
