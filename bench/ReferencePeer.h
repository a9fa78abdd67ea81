#pragma once

#include <QString>

// The same exchange as two MOXELD peers, done with blocking sockets and no event loop: each side
// waits in recv() for the other, which is as fast as one request per block can go on this machine.
// Each prints "listening" (receiver) and a PeerResult line; the return value is the exit code.
namespace ReferencePeer {

int RunReceiver(int level, const QString& savePath);
int RunSender(int level, const QString& filePath);

} // namespace ReferencePeer
