#pragma once

#include <QString>

#include <cstdint>

enum class StatusColour { Black, Red };

// What the transfer window shows when it opens.
struct TransferWindowInfo {
    QString FromAddress;
    QString ToAddress;
    QString FileName;
    int32_t FileSize = 0;
};

// The window as the sending and receiving sides see it. The main window implements it; tests
// implement it with a scripted view. Calls that show a window are modal: they return when it closes,
// and socket events keep being handled meanwhile, so a side may be re-entered during them.
class TransferView {
public:
    virtual ~TransferView() = default;

    virtual void SetStatus(StatusColour colour, const QString& text) = 0;
    virtual QString AddressText() const = 0;

    // Button5, Connect / Disconnect.
    virtual QString ConnectCaption() const = 0;
    virtual void SetConnectCaption(const QString& caption) = 0;
    // Button2, Transfer files.
    virtual void SetTransferFilesEnabled(bool enabled) = 0;
    // Button3, Receive / Stop.
    virtual QString ReceiveCaption() const = 0;
    virtual void SetReceiveCaption(const QString& caption) = 0;
    // RadioButton1 (send mode) and RadioButton2 (receive mode).
    virtual void SetSendModeEnabled(bool enabled) = 0;
    virtual void SetReceiveModeEnabled(bool enabled) = 0;

    virtual bool AskQuery(const QString& line1, const QString& line2, const QString& title = {},
                          const QString& yesCaption = {}, const QString& noCaption = {}) = 0;
    virtual void ShowNotice(const QString& title, const QString& message) = 0;
    virtual void ShowPlainMessage(const QString& text) = 0;
    // Empty when the user cancels.
    virtual QString ChooseFileToSend() = 0;
    virtual QString ChooseSavePath(const QString& suggestedName) = 0;

    // Opens a new transfer window modally; returns when it is closed.
    virtual void OpenTransferWindow(const TransferWindowInfo& info) = 0;
    // Act on the current transfer window, if there is one.
    virtual void SetTransferProgress(int32_t position) = 0;
    virtual void FinishTransferWindow() = 0;
};
