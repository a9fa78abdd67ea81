#pragma once

#include "TFixedDialog.h"

#include <QPointer>

#include <cstdint>
#include <functional>

class QEventLoop;
class QTimer;
class TButton;
class TIconImage;
class TLabel;
class TProgressBar;
class TBackgroundImage;

// "File size : 1.50KB" / "File size : 5.00MB": two decimals, the system's decimal separator.
QString FileSizeText(int32_t size);

// The progress window of one transfer, on either side. The data phase runs in its modal loop.
class TTransfer : public TFixedDialog {
    Q_OBJECT

public:
    // What Cancel needs from the side that opened the window.
    struct Control {
        std::function<bool()> IsConnected;
        std::function<void()> CancelTransfer;
    };

    TTransfer(QWidget* parent, Control control);

    // Fills in the lines and the bar, starts the animation.
    void Open(const QString& fromAddress, const QString& toAddress, const QString& fileName, int32_t fileSize);
    // Modal until closed. A close asked for meanwhile takes effect when this window's own loop
    // runs again, so a notice opened on top keeps it on screen until the notice is dismissed.
    void ShowModal();
    void SetProgress(int32_t position);
    // Stops the animation and closes the window.
    void Finish();

    TBackgroundImage* Image1;
    TLabel* label2;
    TLabel* Label1;
    TProgressBar* ProgressBar1;
    TLabel* Label3;
    TButton* Button1;
    TIconImage* Image2;
    TIconImage* Image3;
    TIconImage* Image4;
    TIconImage* Image5;
    QTimer* Timer1;

public slots:
    void Button1Click();
    void Timer1Timer();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void RequestClose();

    Control m_control;
    QPointer<QEventLoop> m_loop;
    bool m_closeRequested = false;
};
