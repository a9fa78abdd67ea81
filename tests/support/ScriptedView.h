#pragma once

#include "TransferView.h"

#include <QQueue>
#include <QString>
#include <QStringList>

#include <functional>

// A TransferView that answers from a script and records what the side showed. Dialogs return at once;
// the transfer window is not modal here, since the data phase runs on socket events either way.
class ScriptedView : public TransferView {
public:
    struct Notice {
        QString Title;
        QString Message;
    };

    // What the user will answer, in order. An empty queue answers no / cancel.
    QQueue<bool> Answers;
    QQueue<QString> FilesToSend;
    QQueue<QString> SavePaths;
    // Runs inside the next notice, as if an event arrived while it was open.
    std::function<void(const Notice&)> WhileNoticeOpen;
    // Runs inside every question before it is answered, as if the user took a while.
    std::function<void()> WhileQueryOpen;

    QString Address;
    QString ConnectButton = QStringLiteral("&Connect");
    QString ReceiveButton = QStringLiteral("&Receive");
    bool TransferFilesEnabled = false;
    bool SendModeEnabled = true;
    bool ReceiveModeEnabled = true;
    QString Status;
    StatusColour Colour = StatusColour::Black;

    QList<Notice> Notices;
    QStringList PlainMessages;
    QStringList Questions;
    QStringList SuggestedNames;
    QList<TransferWindowInfo> WindowsOpened;
    bool WindowOpen = false;
    int Progress = 0;
    int ProgressCalls = 0;
    int WindowsFinished = 0;

    void SetStatus(StatusColour colour, const QString& text) override
    {
        Colour = colour;
        Status = text;
    }
    QString AddressText() const override { return Address; }
    QString ConnectCaption() const override { return ConnectButton; }
    void SetConnectCaption(const QString& caption) override { ConnectButton = caption; }
    void SetTransferFilesEnabled(bool enabled) override { TransferFilesEnabled = enabled; }
    QString ReceiveCaption() const override { return ReceiveButton; }
    void SetReceiveCaption(const QString& caption) override { ReceiveButton = caption; }
    void SetSendModeEnabled(bool enabled) override { SendModeEnabled = enabled; }
    void SetReceiveModeEnabled(bool enabled) override { ReceiveModeEnabled = enabled; }

    bool AskQuery(const QString& line1, const QString& line2, const QString& title, const QString&,
                  const QString&) override
    {
        Questions << (title.isEmpty() ? QStringLiteral("SaveQuery") : title) + '|' + line1 + '|' + line2;
        if (WhileQueryOpen)
            WhileQueryOpen();
        return !Answers.isEmpty() && Answers.dequeue();
    }
    void ShowNotice(const QString& title, const QString& message) override
    {
        Notices.append({title, message});
        if (WhileNoticeOpen)
            WhileNoticeOpen(Notices.last());
    }
    void ShowPlainMessage(const QString& text) override { PlainMessages << text; }
    QString ChooseFileToSend() override { return FilesToSend.isEmpty() ? QString() : FilesToSend.dequeue(); }
    QString ChooseSavePath(const QString& suggestedName) override
    {
        SuggestedNames << suggestedName;
        return SavePaths.isEmpty() ? QString() : SavePaths.dequeue();
    }
    void OpenTransferWindow(const TransferWindowInfo& info) override
    {
        WindowsOpened << info;
        WindowOpen = true;
        Progress = 0;
    }
    void SetTransferProgress(int32_t position) override
    {
        Progress = position;
        ++ProgressCalls;
    }
    void FinishTransferWindow() override
    {
        if (WindowOpen)
            ++WindowsFinished;
        WindowOpen = false;
    }

    QString LastNotice() const { return Notices.isEmpty() ? QString() : Notices.last().Message; }
};
