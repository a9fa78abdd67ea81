#pragma once

#include <QString>
#include <QTemporaryDir>

// The folder the benchmark's files live in, removed with everything in it at the end, and also when
// the run is interrupted (Ctrl+C, a terminating signal, output piped into a reader that has gone): a
// file of up to 2 GiB must not be left behind. One at a time.
class ScratchFolder {
public:
    explicit ScratchFolder(const QString& parent);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool IsValid() const { return m_folder.isValid(); }
    QString Path() const { return m_folder.path(); }
    // The path of name inside the folder; the file there is removed on an interruption too.
    QString FilePath(const QString& name);

private:
    QTemporaryDir m_folder;
};
