#pragma once

#include "TFixedDialog.h"

class TBackgroundImage;
class TButton;
class TEtchedLine;
class TIconImage;
class TLabel;

// The yes/no question: two lines of text and two buttons. Ends with 1 for Button1 and
// with 2 for Button2 or any other way of closing (close box, window menu, Alt+F4).
class TSaveQuery : public TFixedDialog {
    Q_OBJECT
public:
    explicit TSaveQuery(QWidget* parent = nullptr);

    TBackgroundImage* Image1;
    TIconImage* Image4;
    TLabel* Label1;
    TLabel* Label2;
    TEtchedLine* Bevel1;
    TButton* Button1;
    TButton* Button2;

public slots:
    void reject() override;

private slots:
    void Button1Click();
    void Button2Click();
};
