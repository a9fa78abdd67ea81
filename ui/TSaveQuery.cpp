#include "TSaveQuery.h"

#include "FormKit.h"

TSaveQuery::TSaveQuery(QWidget* parent)
    : TFixedDialog(parent, 244, 92, QStringLiteral("SaveQuery"))
{
    setObjectName(QStringLiteral("SaveQuery"));
    Image1 = AddBackground(this);
    Image4 = AddIcon(this, QStringLiteral("Image4"), {27, 5, 34, 34}, IconId::Question);
    Label1 = AddLabel(this, QStringLiteral("Label1"), 64, 7, {});
    Label2 = AddLabel(this, QStringLiteral("Label2"), 64, 27, {});
    Bevel1 = AddLine(this, QStringLiteral("Bevel1"), {16, 45, 206, 14});
    Button1 = AddButton(this, QStringLiteral("Button1"), {39, 59, 75, 25}, QStringLiteral("&Save"));
    Button2 = AddButton(this, QStringLiteral("Button2"), {139, 59, 75, 25}, QStringLiteral("&Refuse"));
    setTabOrder(Button1, Button2);
    Button1->setFocus();

    connect(Button1, &TButton::clicked, this, &TSaveQuery::Button1Click);
    connect(Button2, &TButton::clicked, this, &TSaveQuery::Button2Click);
}

void TSaveQuery::reject()
{
    done(2);
}

void TSaveQuery::Button1Click()
{
    done(1);
}

void TSaveQuery::Button2Click()
{
    done(2);
}
