#pragma once

#include "TFixedDialog.h"

class QSlider;
class TBackgroundImage;
class TButton;
class TEtchedLine;
class TLabel;

// The speed window: a five-step slider. Ends with 1 on "&Ok" (SpeedLevel() then holds
// the chosen level) and rejected on "&Cancel" or the close box.
class TBufferSet : public TFixedDialog {
    Q_OBJECT
public:
    explicit TBufferSet(int level, QWidget* parent = nullptr);

    // The level stored by "&Ok"; the opening level until then.
    int SpeedLevel() const { return m_level; }

    TBackgroundImage* Image1;
    TLabel* Label1;
    TEtchedLine* Bevel1;
    TLabel* Label2;
    TLabel* Label3;
    TLabel* Label4;
    TLabel* Label5;
    TLabel* Label6;
    QSlider* TrackBar1;
    TButton* Button1;
    TButton* Button2;

private slots:
    void Button1Click();
    void Button2Click();

private:
    int m_level;
};
