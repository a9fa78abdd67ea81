#pragma once

#include "TFixedDialog.h"

class TBackgroundImage;
class TButton;
class TEtchedLine;
class TIconImage;
class TLabel;

// The address the link shows and opens.
inline constexpr char VendorAddress[] = "https://moxeld.example/";

// The information window: name, version, a link to our web page and this host's
// address (Label5, filled by whoever opens it). The link turns hot (bold, hand pointer)
// when the pointer moves over it and rests again only when the pointer crosses Image1.
class TInfor : public TFixedDialog {
    Q_OBJECT
public:
    explicit TInfor(QWidget* parent = nullptr);

    bool LinkIsHot() const { return m_linkHot; }

    TBackgroundImage* Image1;
    TIconImage* Image2;
    TLabel* Label1;
    TLabel* Label2;
    TLabel* Label7;
    TEtchedLine* Bevel1;
    TLabel* Label5;
    TEtchedLine* Bevel2;
    TButton* Button1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void Image1MouseMove();
    void Label7MouseMove();
    void Label7Click();
    void Button1Click();

private:
    void SetLinkHot(bool hot);

    bool m_linkHot = false;
    bool m_linkPressed = false;
};
