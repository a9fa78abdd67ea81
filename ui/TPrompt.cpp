#include "TPrompt.h"

#include "FormKit.h"

TPrompt::TPrompt(QWidget* parent) : TFixedDialog(parent, 254, 105, QString())
{
    setObjectName(QStringLiteral("Prompt"));
    Image1 = AddBackground(this);
    Image2 = AddIcon(this, QStringLiteral("Image2"), {21, 11, 38, 38}, IconId::Exclamation);
    LabelStyle message;
    message.bold = true;
    message.color = QColor(0, 128, 0);
    Label1 = AddWrapLabel(this, QStringLiteral("Label1"), 62, 11, 158, {}, message);
    Bevel1 = AddLine(this, QStringLiteral("Bevel1"), {62, 53, 162, 14});
    Image3 = AddIcon(this, QStringLiteral("Image3"), {21, 53, 38, 39}, IconId::Mascot);
    Button1 = AddButton(this, QStringLiteral("Button1"), {153, 65, 73, 23}, QStringLiteral("&Ok"));
    Button1->setFocus();

    connect(Button1, &TButton::clicked, this, &TPrompt::Button1Click);
}

void TPrompt::Button1Click()
{
    accept();
}
