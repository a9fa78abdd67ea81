#include "FormKit.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QScreen>
#include <QWidget>

namespace {

const QString ClassicFamily = QStringLiteral("MS Sans Serif");

// Centres a window on its first show: the window manager or QDialog would place it
// elsewhere (QDialog centres over its parent).
class CenterOnFirstShow : public QObject {
public:
    explicit CenterOnFirstShow(QWidget* window) : QObject(window) { window->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched == parent()) {
            CenterOnScreen(static_cast<QWidget*>(watched));
            watched->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }
};

void ApplyStyle(TLabel* label, const LabelStyle& style)
{
    QFont font = ClassicFont(style.pointSize, style.bold);
    font.setUnderline(style.underline);
    label->setFont(font);
    if (style.color.isValid())
        label->setTextColor(style.color);
}

}  // namespace

void InstallClassicFont()
{
    static const bool installed = [] {
        // Carlito is narrow enough for the fixed boxes; Liberation Sans is the fallback.
        QFont::insertSubstitutions(ClassicFamily,
                                   {QStringLiteral("Carlito"), QStringLiteral("Liberation Sans")});
        return true;
    }();
    (void)installed;
}

QFont ClassicFont(int pointSize, bool bold)
{
    InstallClassicFont();
    QFont font(ClassicFamily);
    font.setPixelSize((pointSize * 96 + 36) / 72);
    font.setBold(bold);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

void SetupFixedWindow(QWidget* window, int clientWidth, int clientHeight, const QString& caption,
                      WindowButtons buttons)
{
    const Qt::WindowFlags type = window->windowType() == Qt::Dialog ? Qt::Dialog : Qt::Window;
    Qt::WindowFlags flags = type | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
    if (buttons == WindowButtons::MinimizeAndClose)
        flags |= Qt::WindowMinimizeButtonHint;
    window->setWindowFlags(flags);
    window->setFixedSize(clientWidth, clientHeight);
    window->setWindowTitle(caption);
    window->setWindowIcon(AppIcon());
    window->setFont(ClassicFont());
    new CenterOnFirstShow(window);
}

void CenterOnScreen(QWidget* window)
{
    QScreen* screen = window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // move() places the frame; its size is known only once the platform reports it.
    const QSize outer = window->frameGeometry().size();
    const QRect area = screen->availableGeometry();
    window->move(area.center() - QPoint(outer.width() / 2, outer.height() / 2));
}

TBackgroundImage* AddBackground(QWidget* window, const QString& name)
{
    auto* image = new TBackgroundImage(window);
    image->setObjectName(name);
    image->setGeometry(0, 0, window->width(), window->height());
    image->lower();
    return image;
}

TIconImage* AddIcon(QWidget* parent, const QString& name, const QRect& box, IconId icon)
{
    auto* image = new TIconImage(parent, icon);
    image->setObjectName(name);
    image->setGeometry(box);
    return image;
}

TEtchedLine* AddLine(QWidget* parent, const QString& name, const QRect& box)
{
    auto* line = new TEtchedLine(parent);
    line->setObjectName(name);
    line->setGeometry(box);
    return line;
}

TLabel* AddLabel(QWidget* parent, const QString& name, int x, int y, const QString& text,
                 const LabelStyle& style)
{
    auto* label = new TLabel(parent);
    label->setObjectName(name);
    label->move(x, y);
    ApplyStyle(label, style);
    label->setText(text);
    return label;
}

TLabel* AddWrapLabel(QWidget* parent, const QString& name, int x, int y, int width,
                     const QString& text, const LabelStyle& style)
{
    auto* label = new TLabel(parent);
    label->setObjectName(name);
    label->move(x, y);
    ApplyStyle(label, style);
    label->setWrapWidth(width);
    label->setText(text);
    return label;
}

TButton* AddButton(QWidget* parent, const QString& name, const QRect& box, const QString& caption)
{
    auto* button = new TButton(parent, caption);
    button->setObjectName(name);
    button->setGeometry(box);
    return button;
}
