#include "TMainForm.h"

#include "Dialogs.h"
#include "FormKit.h"
#include "TBackgroundImage.h"
#include "TButton.h"
#include "TEtchedLine.h"
#include "TIconImage.h"
#include "TLabel.h"
#include "TTransfer.h"
#include "TWindowDragger.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QUrl>

namespace {
const QColor kPaleGreen(192, 220, 192);

QRadioButton* AddRadioButton(QWidget* parent, const QString& name, const QRect& box, const QString& caption)
{
    auto* button = new QRadioButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(box);
    button->setAutoFillBackground(true);
    QPalette palette = button->palette();
    palette.setColor(QPalette::Window, kPaleGreen);
    button->setPalette(palette);
    return button;
}
} // namespace

TMainForm::TMainForm(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("MainForm"));
    SetupFixedWindow(this, 310, 287, QStringLiteral("MOXELD - Pellwick"), WindowButtons::MinimizeAndClose);

    Image1 = AddBackground(this);
    LabelStyle title;
    title.pointSize = 14;
    title.bold = true;
    title.color = QColor(0, 128, 0);
    Label3 = AddLabel(this, QStringLiteral("Label3"), 17, 10, QStringLiteral("MOXELD - Pellwick"), title);
    Image3 = AddIcon(this, QStringLiteral("Image3"), {23, 47, 41, 38}, IconId::ArrowRight);
    Image2 = AddIcon(this, QStringLiteral("Image2"), {63, 47, 41, 38}, IconId::Mascot);
    Bevel1 = AddLine(this, QStringLiteral("Bevel1"), {109, 52, 164, 11});
    RadioButton1 = AddRadioButton(this, QStringLiteral("RadioButton1"), {106, 59, 144, 17},
                                  QStringLiteral("Transfer files t&o my friend"));
    Label1 = AddLabel(this, QStringLiteral("Label1"), 16, 87, QStringLiteral("My friend's IP address : "));
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(129, 84, 145, 21);
    Button5 = AddButton(this, QStringLiteral("Button5"), {128, 114, 63, 23}, QStringLiteral("&Connect"));
    Button2 = AddButton(this, QStringLiteral("Button2"), {194, 114, 82, 23}, QStringLiteral("&Transfer files ..."));
    Image4 = AddIcon(this, QStringLiteral("Image4"), {23, 141, 41, 38}, IconId::ArrowLeft);
    Image5 = AddIcon(this, QStringLiteral("Image5"), {63, 141, 41, 38}, IconId::Mascot);
    Bevel2 = AddLine(this, QStringLiteral("Bevel2"), {109, 145, 166, 11});
    RadioButton2 = AddRadioButton(this, QStringLiteral("RadioButton2"), {108, 154, 149, 17},
                                  QStringLiteral("Receive files &from my friend"));
    Button3 = AddButton(this, QStringLiteral("Button3"), {203, 175, 73, 23}, QStringLiteral("&Receive"));
    Bevel3 = AddLine(this, QStringLiteral("Bevel3"), {32, 207, 243, 11});
    Button6 = AddButton(this, QStringLiteral("Button6"), {32, 217, 54, 23}, QStringLiteral("&Option"));
    Button4 = AddButton(this, QStringLiteral("Button4"), {95, 217, 54, 23}, QStringLiteral("&Info"));
    Button7 = AddButton(this, QStringLiteral("Button7"), {158, 217, 54, 23}, QStringLiteral("&Help"));
    Button1 = AddButton(this, QStringLiteral("Button1"), {221, 217, 54, 23}, QStringLiteral("&Exit"));
    Bevel4 = AddLine(this, QStringLiteral("Bevel4"), {32, 249, 244, 11});
    Label2 = AddLabel(this, QStringLiteral("Label2"), 29, 260, QStringLiteral("Welcome to use MOXELD to Pellwick  !"));

    RadioButton1->setChecked(true);
    Button2->setEnabled(false);
    Button3->setEnabled(false);

    QWidget::setTabOrder(RadioButton1, Edit1);
    QWidget::setTabOrder(Edit1, Button5);
    QWidget::setTabOrder(Button5, Button2);
    QWidget::setTabOrder(Button2, RadioButton2);
    QWidget::setTabOrder(RadioButton2, Button3);
    QWidget::setTabOrder(Button3, Button4);
    QWidget::setTabOrder(Button4, Button1);
    QWidget::setTabOrder(Button1, Button7);
    QWidget::setTabOrder(Button7, Button6);

    TWindowDragger::Install(this);

    connect(RadioButton1, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            RadioButton1Click();
    });
    connect(RadioButton2, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            RadioButton2Click();
    });
    connect(Edit1, &QLineEdit::returnPressed, this, &TMainForm::Edit1KeyPress);
    connect(Button5, &TButton::clicked, this, &TMainForm::Button5Click);
    connect(Button2, &TButton::clicked, this, &TMainForm::Button2Click);
    connect(Button3, &TButton::clicked, this, &TMainForm::Button3Click);
    connect(Button1, &TButton::clicked, this, &TMainForm::Button1Click);
    connect(Button7, &TButton::clicked, this, &TMainForm::Button7Click);
    connect(Button4, &TButton::clicked, this, &TMainForm::Button4Click);
    connect(Button6, &TButton::clicked, this, &TMainForm::Button6Click);

    FormCreate();
}

TMainForm::~TMainForm() = default;

void TMainForm::FormCreate()
{
    m_state.SenderRole = true;
    m_state.Connected = false;
    m_state.Transferring = false;
    m_state.ControlPhase = true;
    m_state.BytesDone = 0;
    m_state.CloseFile();
    m_settings.BlockSize = 1024;
    m_settings.ReceiveBufferSize = 1080;
}

void TMainForm::RadioButton1Click()
{
    if (!Edit1->isEnabled()) {
        Label1->setEnabled(true);
        Edit1->setEnabled(true);
        Button5->setEnabled(true);
        Button2->setEnabled(false);
        Button3->setEnabled(false);
    }
    SetStatus(StatusColour::Black, QStringLiteral("Transfer files to my friend"));
}

void TMainForm::RadioButton2Click()
{
    if (!Button3->isEnabled()) {
        Label1->setEnabled(false);
        Edit1->setEnabled(false);
        Button2->setEnabled(false);
        Button5->setEnabled(false);
        Button3->setEnabled(true);
    }
    SetStatus(StatusColour::Black, QStringLiteral("Receive files from my friend"));
}

void TMainForm::Edit1KeyPress()
{
    Button5->setFocus();
    Button5Click();
}

void TMainForm::Button5Click() { m_sending.Button5Click(); }
void TMainForm::Button2Click() { m_sending.Button2Click(); }
void TMainForm::Button3Click() { m_receiving.Button3Click(); }

void TMainForm::Button1Click()
{
    if (m_state.Connected
        && !::AskQuery(QStringLiteral("It's still connected..."), QStringLiteral("Do you really want to TERMINATE ?"),
                       QStringLiteral("Query"), QStringLiteral("&Yes"), QStringLiteral("&No")))
        return;
    emit TerminateRequested();
}

void TMainForm::Button7Click()
{
    // No help file, no message: the desktop's handler opens it when it is there.
    const QString help = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("MOXELD.chm"));
    if (QFileInfo::exists(help))
        QDesktopServices::openUrl(QUrl::fromLocalFile(help));
}

void TMainForm::Button4Click() { RunInfoWindow(this); }
void TMainForm::Button6Click() { RunSpeedWindow(this, m_settings); }

void TMainForm::SetStatus(StatusColour colour, const QString& text)
{
    Label2->setTextColor(colour == StatusColour::Red ? QColor(255, 0, 0) : QColor(0, 0, 0));
    Label2->setText(text);
}

QString TMainForm::AddressText() const { return Edit1->text(); }
QString TMainForm::ConnectCaption() const { return Button5->text(); }
void TMainForm::SetConnectCaption(const QString& caption) { Button5->setText(caption); }
void TMainForm::SetTransferFilesEnabled(bool enabled) { Button2->setEnabled(enabled); }
QString TMainForm::ReceiveCaption() const { return Button3->text(); }
void TMainForm::SetReceiveCaption(const QString& caption) { Button3->setText(caption); }
void TMainForm::SetSendModeEnabled(bool enabled) { RadioButton1->setEnabled(enabled); }
void TMainForm::SetReceiveModeEnabled(bool enabled) { RadioButton2->setEnabled(enabled); }

bool TMainForm::AskQuery(const QString& line1, const QString& line2, const QString& title,
                         const QString& yesCaption, const QString& noCaption)
{
    return ::AskQuery(line1, line2, title, yesCaption, noCaption);
}

void TMainForm::ShowNotice(const QString& title, const QString& message) { ::ShowNotice(title, message); }
void TMainForm::ShowPlainMessage(const QString& text) { ::ShowPlainMessage(text); }

QString TMainForm::ChooseFileToSend()
{
    QFileDialog OpenDialog1(ModalOwner() ? ModalOwner() : this);
    OpenDialog1.setObjectName(QStringLiteral("OpenDialog1"));
    OpenDialog1.setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog1.setFileMode(QFileDialog::ExistingFile);
    if (OpenDialog1.exec() != QDialog::Accepted || OpenDialog1.selectedFiles().isEmpty())
        return {};
    return OpenDialog1.selectedFiles().constFirst();
}

QString TMainForm::ChooseSavePath(const QString& suggestedName)
{
    QFileDialog SaveDialog1(ModalOwner() ? ModalOwner() : this);
    SaveDialog1.setObjectName(QStringLiteral("SaveDialog1"));
    SaveDialog1.setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1.setFileMode(QFileDialog::AnyFile);
    // An existing file is replaced without a question.
    SaveDialog1.setOption(QFileDialog::DontConfirmOverwrite);
    SaveDialog1.selectFile(suggestedName);
    if (SaveDialog1.exec() != QDialog::Accepted || SaveDialog1.selectedFiles().isEmpty())
        return {};
    return SaveDialog1.selectedFiles().constFirst();
}

void TMainForm::OpenTransferWindow(const TransferWindowInfo& info)
{
    TTransfer::Control control{
        [this] { return m_state.Connected; },
        [this] {
            if (m_state.SenderRole)
                m_sending.CancelTransfer();
            else
                m_receiving.CancelTransfer();
        },
    };
    auto* window = new TTransfer(ModalOwner() ? ModalOwner() : this, std::move(control));
    const QPointer<TTransfer> guard(window);
    m_transfer = window;
    window->Open(info.FromAddress, info.ToAddress, info.FileName, info.FileSize);
    window->ShowModal();
    delete guard.data();
}

void TMainForm::SetTransferProgress(int32_t position)
{
    if (m_transfer)
        m_transfer->SetProgress(position);
}

void TMainForm::FinishTransferWindow()
{
    if (m_transfer)
        m_transfer->Finish();
}
