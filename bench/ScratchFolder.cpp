#include "ScratchFolder.h"

#include <QDir>
#include <QFile>

#include <array>
#include <csignal>
#include <cstring>
#include <limits.h>
#include <unistd.h>

namespace {

// Filled outside the handler, only read inside it: unlink() and rmdir() are safe there.
constexpr int kMaxFiles = 32;
std::array<std::array<char, PATH_MAX>, kMaxFiles> g_files;
volatile sig_atomic_t g_fileCount = 0;
std::array<char, PATH_MAX> g_folder;
volatile sig_atomic_t g_folderSet = 0;
constexpr std::array kSignals{SIGINT, SIGTERM, SIGHUP, SIGPIPE};

void RemoveAndStop(int signal)
{
    for (int i = 0; i < g_fileCount; ++i)
        ::unlink(g_files[i].data());
    if (g_folderSet)
        ::rmdir(g_folder.data());
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

bool Copy(const QString& path, std::array<char, PATH_MAX>& to)
{
    const QByteArray bytes = QFile::encodeName(path);
    if (bytes.size() >= PATH_MAX)
        return false;
    std::memcpy(to.data(), bytes.constData(), size_t(bytes.size()) + 1);
    return true;
}

} // namespace

ScratchFolder::ScratchFolder(const QString& parent)
    : m_folder(QDir(parent).filePath(QStringLiteral("moxeld-bench-XXXXXX")))
{
    if (!m_folder.isValid() || !Copy(m_folder.path(), g_folder))
        return;
    g_fileCount = 0;
    g_folderSet = 1;
    for (const int signal : kSignals)
        std::signal(signal, RemoveAndStop);
}

ScratchFolder::~ScratchFolder()
{
    for (const int signal : kSignals)
        std::signal(signal, SIG_DFL);
    g_folderSet = 0;
    g_fileCount = 0;
}

QString ScratchFolder::FilePath(const QString& name)
{
    const QString path = m_folder.filePath(name);
    for (int i = 0; i < g_fileCount; ++i) {
        if (QFile::encodeName(path) == g_files[i].data())
            return path;
    }
    if (g_fileCount < kMaxFiles && Copy(path, g_files[g_fileCount]))
        g_fileCount = g_fileCount + 1;
    return path;
}
