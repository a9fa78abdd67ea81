#pragma once

#include "ReceivingSide.h"
#include "SendingSide.h"
#include "TClientSocket.h"
#include "TServerSocket.h"
#include "TransferState.h"
#include "TTransfer.h"
#include "TransferView.h"

#include <QPointer>
#include <QWidget>

class QLineEdit;
class QRadioButton;
class TBackgroundImage;
class TButton;
class TEtchedLine;
class TIconImage;
class TLabel;

// The program's main window. It owns the transfer state, the settings, both endpoints and both
// sides, and is the window those sides talk to.
class TMainForm : public QWidget, public TransferView {
    Q_OBJECT

public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    TransferState& State() { return m_state; }
    TransferSettings& Settings() { return m_settings; }
    TClientSocket cs;
    TServerSocket ss;

    TBackgroundImage* Image1;
    TLabel* Label3;
    TIconImage* Image3;
    TIconImage* Image2;
    TEtchedLine* Bevel1;
    QRadioButton* RadioButton1;
    TLabel* Label1;
    QLineEdit* Edit1;
    TButton* Button5;
    TButton* Button2;
    TIconImage* Image4;
    TIconImage* Image5;
    TEtchedLine* Bevel2;
    QRadioButton* RadioButton2;
    TButton* Button3;
    TEtchedLine* Bevel3;
    TButton* Button6;
    TButton* Button4;
    TButton* Button7;
    TButton* Button1;
    TEtchedLine* Bevel4;
    TLabel* Label2;

    // The transfer window now open, if any.
    TTransfer* Transfer() const { return m_transfer; }

    // TransferView
    void SetStatus(StatusColour colour, const QString& text) override;
    QString AddressText() const override;
    QString ConnectCaption() const override;
    void SetConnectCaption(const QString& caption) override;
    void SetTransferFilesEnabled(bool enabled) override;
    QString ReceiveCaption() const override;
    void SetReceiveCaption(const QString& caption) override;
    void SetSendModeEnabled(bool enabled) override;
    void SetReceiveModeEnabled(bool enabled) override;
    bool AskQuery(const QString& line1, const QString& line2, const QString& title, const QString& yesCaption,
                  const QString& noCaption) override;
    void ShowNotice(const QString& title, const QString& message) override;
    void ShowPlainMessage(const QString& text) override;
    QString ChooseFileToSend() override;
    QString ChooseSavePath(const QString& suggestedName) override;
    void OpenTransferWindow(const TransferWindowInfo& info) override;
    void SetTransferProgress(int32_t position) override;
    void FinishTransferWindow() override;

signals:
    // Exit was pressed and confirmed.
    void TerminateRequested();

public slots:
    void RadioButton1Click();
    void RadioButton2Click();
    void Edit1KeyPress();
    void Button5Click();
    void Button2Click();
    void Button3Click();
    void Button1Click();
    void Button7Click();
    void Button4Click();
    void Button6Click();

private:
    void FormCreate();

    TransferState m_state;
    TransferSettings m_settings;
    SendingSide m_sending{m_state, m_settings, cs, *this};
    ReceivingSide m_receiving{m_state, m_settings, ss, *this};
    QPointer<TTransfer> m_transfer;
};
