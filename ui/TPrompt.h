#pragma once

#include "TFixedDialog.h"

class TBackgroundImage;
class TButton;
class TEtchedLine;
class TIconImage;
class TLabel;

// The notice: a title, a message in bold green that wraps at 158 pixels, one button.
class TPrompt : public TFixedDialog {
    Q_OBJECT
public:
    explicit TPrompt(QWidget* parent = nullptr);

    TBackgroundImage* Image1;
    TIconImage* Image2;
    TLabel* Label1;
    TEtchedLine* Bevel1;
    TIconImage* Image3;
    TButton* Button1;

private slots:
    void Button1Click();
};
