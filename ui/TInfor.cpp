#include "TInfor.h"

#include "FormKit.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QUrl>

TInfor::TInfor(QWidget* parent) : TFixedDialog(parent, 284, 238, QStringLiteral("Information"))
{
    setObjectName(QStringLiteral("Infor"));
    const QColor green(0, 128, 0);

    Image1 = AddBackground(this);
    Image2 = AddIcon(this, QStringLiteral("Image2"), {9, 6, 39, 38}, IconId::Bolt32);

    LabelStyle title;
    title.pointSize = 10;
    title.bold = true;
    title.color = green;
    Label1 = AddLabel(this, QStringLiteral("Label1"), 50, 12,
                      QStringLiteral("MOXELD -  Pellwick            "), title);

    LabelStyle version;
    version.bold = true;
    version.color = QColor(128, 0, 0);
    Label2 = AddLabel(this, QStringLiteral("Label2"), 183, 35, QStringLiteral("Version 1.03"), version);

    LabelStyle link;
    link.underline = true;
    link.color = green;
    Label7 = AddLabel(this, QStringLiteral("Label7"), 136, 76, QString::fromLatin1(VendorAddress), link);
    Label7->setAlignment(Qt::AlignRight | Qt::AlignTop);
    Label7->setRightEdge(136 + 111);

    Bevel1 = AddLine(this, QStringLiteral("Bevel1"), {40, 96, 207, 14});
    Label5 = AddLabel(this, QStringLiteral("Label5"), 41, 170, {});
    Bevel2 = AddLine(this, QStringLiteral("Bevel2"), {40, 189, 207, 14});
    Button1 = AddButton(this, QStringLiteral("Button1"), {189, 201, 59, 23}, QStringLiteral("&Cancel"));
    Button1->setFocus();

    // Moves without a pressed button reach these two only with tracking on.
    Image1->setMouseTracking(true);
    Label7->setMouseTracking(true);
    Image1->installEventFilter(this);
    Label7->installEventFilter(this);

    connect(Button1, &TButton::clicked, this, &TInfor::Button1Click);
}

bool TInfor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Image1 && event->type() == QEvent::MouseMove) {
        Image1MouseMove();
    } else if (watched == Label7) {
        switch (event->type()) {
        case QEvent::MouseMove:
            Label7MouseMove();
            break;
        case QEvent::MouseButtonPress:
            m_linkPressed = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
            return true;
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const bool click = m_linkPressed && mouse->button() == Qt::LeftButton
                && Label7->rect().contains(mouse->position().toPoint());
            m_linkPressed = false;
            if (click)
                Label7Click();
            return true;
        }
        default:
            break;
        }
    }
    return TFixedDialog::eventFilter(watched, event);
}

void TInfor::SetLinkHot(bool hot)
{
    if (hot == m_linkHot)
        return;
    m_linkHot = hot;
    QFont font = Label7->font();
    font.setBold(hot);
    font.setUnderline(true);
    Label7->setFont(font);  // TLabel re-fits and keeps its right edge
    if (hot)
        Label7->setCursor(Qt::PointingHandCursor);
    else
        Label7->unsetCursor();
}

void TInfor::Image1MouseMove()
{
    SetLinkHot(false);
}

void TInfor::Label7MouseMove()
{
    SetLinkHot(true);
}

void TInfor::Label7Click()
{
    // Nothing to report when no browser can be started.
    QDesktopServices::openUrl(QUrl(Label7->text()));
}

void TInfor::Button1Click()
{
    reject();
}
