#include "TBufferSet.h"

#include "FormKit.h"
#include "SpeedLevels.h"

#include <QSlider>

#include <algorithm>

TBufferSet::TBufferSet(int level, QWidget* parent)
    : TFixedDialog(parent, 300, 131, QStringLiteral("BufferSet")),
      m_level(std::clamp(level, MinSpeedLevel, MaxSpeedLevel))
{
    setObjectName(QStringLiteral("BufferSet"));
    Image1 = AddBackground(this);
    Label1 = AddLabel(this, QStringLiteral("Label1"), 15, 16, QStringLiteral("Adjust transfer speed"));
    Bevel1 = AddLine(this, QStringLiteral("Bevel1"), {120, 22, 161, 16});
    Label2 = AddLabel(this, QStringLiteral("Label2"), 15, 36, QStringLiteral("Low"));
    Label3 = AddLabel(this, QStringLiteral("Label3"), 257, 34, QStringLiteral("high"));
    // The scale numbers stand where the form always had them, not under every step.
    Label4 = AddLabel(this, QStringLiteral("Label4"), 83, 36, QStringLiteral("1"));
    Label5 = AddLabel(this, QStringLiteral("Label5"), 145, 36, QStringLiteral("2"));
    Label6 = AddLabel(this, QStringLiteral("Label6"), 206, 36, QStringLiteral("3"));

    TrackBar1 = new QSlider(Qt::Horizontal, this);
    TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
    TrackBar1->setGeometry(16, 52, 265, 31);
    TrackBar1->setRange(MinSpeedLevel, MaxSpeedLevel);
    TrackBar1->setSingleStep(1);
    TrackBar1->setPageStep(1);
    TrackBar1->setTickPosition(QSlider::TicksBelow);
    TrackBar1->setTickInterval(1);
    TrackBar1->setValue(m_level);

    Button1 = AddButton(this, QStringLiteral("Button1"), {129, 93, 73, 23}, QStringLiteral("&Ok"));
    Button2 = AddButton(this, QStringLiteral("Button2"), {209, 93, 73, 23}, QStringLiteral("&Cancel"));
    setTabOrder(TrackBar1, Button1);
    setTabOrder(Button1, Button2);
    TrackBar1->setFocus();

    connect(Button1, &TButton::clicked, this, &TBufferSet::Button1Click);
    connect(Button2, &TButton::clicked, this, &TBufferSet::Button2Click);
}

void TBufferSet::Button1Click()
{
    m_level = TrackBar1->value();
    done(1);
}

void TBufferSet::Button2Click()
{
    reject();
}
