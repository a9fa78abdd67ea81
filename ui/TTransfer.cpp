#include "TTransfer.h"

#include "Dialogs.h"
#include "FormKit.h"
#include "TBackgroundImage.h"
#include "TButton.h"
#include "TIconImage.h"
#include "TLabel.h"
#include "TProgressBar.h"
#include "TWindowDragger.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QLocale>
#include <QTimer>

QString FileSizeText(int32_t size)
{
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const double kb = double(size) / 1024;
    if (size <= 1048576)
        return QStringLiteral("File size : ") + locale.toString(kb, 'f', 2) + QStringLiteral("KB");
    return QStringLiteral("File size : ") + locale.toString(kb / 1024, 'f', 2) + QStringLiteral("MB");
}

TTransfer::TTransfer(QWidget* parent, Control control)
    : TFixedDialog(parent, 330, 112, QStringLiteral("Transferring file ... ")), m_control(std::move(control))
{
    setObjectName(QStringLiteral("Transfer"));
    Image1 = AddBackground(this);
    label2 = AddLabel(this, QStringLiteral("label2"), 10, 14, QString());
    Label1 = AddLabel(this, QStringLiteral("Label1"), 12, 33, QString());
    ProgressBar1 = new TProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(10, 53, 307, 20);
    Label3 = AddLabel(this, QStringLiteral("Label3"), 11, 82, QString());
    Button1 = AddButton(this, QStringLiteral("Button1"), {245, 80, 73, 25}, QStringLiteral("&Cancel"));
    Image2 = AddIcon(this, QStringLiteral("Image2"), {271, 0, 34, 37}, IconId::Mascot);
    Image3 = AddIcon(this, QStringLiteral("Image3"), {234, 0, 33, 33}, IconId::ArrowLeft);
    Image4 = AddIcon(this, QStringLiteral("Image4"), {194, 0, 36, 34}, IconId::ArrowLeft);
    Image5 = AddIcon(this, QStringLiteral("Image5"), {155, 1, 37, 34}, IconId::ArrowLeft);
    Image4->hide();
    Image5->hide();
    Button1->setFocus();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);

    TWindowDragger::Install(this);
    connect(Button1, &TButton::clicked, this, &TTransfer::Button1Click);
    connect(Timer1, &QTimer::timeout, this, &TTransfer::Timer1Timer);
}

void TTransfer::Open(const QString& fromAddress, const QString& toAddress, const QString& fileName, int32_t fileSize)
{
    ProgressBar1->setRange(0, fileSize);
    ProgressBar1->SetPosition(0);
    const QChar quote(u'"');
    Label1->setText(QStringLiteral("From: ") + quote + fromAddress + quote + QStringLiteral(" To: ") + quote
                    + toAddress + quote);
    label2->setText(QStringLiteral("File name : ") + fileName);
    Label3->setText(FileSizeText(fileSize));
    Timer1->start();
}

void TTransfer::ShowModal()
{
    setWindowModality(Qt::ApplicationModal);
    show();
    if (!m_closeRequested) {
        QEventLoop loop;
        m_loop = &loop;
        loop.exec(QEventLoop::DialogExec);
    }
    hide();
}

void TTransfer::RequestClose()
{
    m_closeRequested = true;
    if (m_loop)
        m_loop->exit();
    else
        hide();
}

void TTransfer::SetProgress(int32_t position)
{
    ProgressBar1->SetPosition(position);
}

void TTransfer::Finish()
{
    Timer1->stop();
    RequestClose();
}

void TTransfer::Button1Click()
{
    if (!m_control.IsConnected()) {
        Timer1->stop();
        RequestClose();
        return;
    }
    if (!AskQuery(QStringLiteral("Do you really want to TERMINATE ?"), QString(), QStringLiteral("Query"),
                  QStringLiteral("&Yes"), QStringLiteral("&No")))
        return;
    Timer1->stop();
    m_control.CancelTransfer();
    RequestClose();
}

void TTransfer::Timer1Timer()
{
    if (!Image3->isHidden()) {
        Image3->hide();
        Image4->show();
        Image5->hide();
    } else if (!Image4->isHidden()) {
        Image3->hide();
        Image4->hide();
        Image5->show();
    } else {
        Image3->show();
        Image4->hide();
        Image5->hide();
    }
}

void TTransfer::closeEvent(QCloseEvent* event)
{
    // The close box stops nothing: the transfer carries on without its window.
    event->ignore();
    Timer1->stop();
    RequestClose();
}
