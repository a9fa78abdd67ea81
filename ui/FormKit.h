#pragma once

// Building blocks for the program's fixed-layout windows. Every position is in pixels
// at 96 dots per inch, in client coordinates of the parent window.

#include "Artwork.h"
#include "TBackgroundImage.h"
#include "TButton.h"
#include "TEtchedLine.h"
#include "TIconImage.h"
#include "TLabel.h"
#include "TWindowDragger.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

class QWidget;

enum class WindowButtons { CloseOnly, MinimizeAndClose };

// Maps "MS Sans Serif" to Carlito (Debian fonts-crosextra-carlito), whose widths keep
// every caption inside its box; Liberation Sans when Carlito is missing.
// Idempotent; ClassicFont() calls it itself.
void InstallClassicFont();

// "MS Sans Serif" at pointSize, pinned to the pixel height it has at 96 dpi
// (8 pt -> 11 px, 10 pt -> 13 px, 14 pt -> 19 px) so layouts do not move with the screen.
QFont ClassicFont(int pointSize = 8, bool bold = false);

// Fixed client size, not resizable, a title bar with the close button (and the minimise
// button for MinimizeAndClose, the main window), default font ClassicFont(), the
// application icon, and centred on its screen when it is shown.
void SetupFixedWindow(QWidget* window, int clientWidth, int clientHeight, const QString& caption,
                      WindowButtons buttons = WindowButtons::CloseOnly);

// Moves a top-level widget so that it stands in the middle of its screen's work area.
void CenterOnScreen(QWidget* window);

struct LabelStyle {
    int pointSize = 8;
    bool bold = false;
    bool underline = false;
    QColor color;  // invalid: the system window-text colour
};

// The background picture covering the whole window, beneath every other control.
TBackgroundImage* AddBackground(QWidget* window, const QString& name = QStringLiteral("Image1"));

// An icon at box.topLeft(), unscaled; the box keeps the given size.
TIconImage* AddIcon(QWidget* parent, const QString& name, const QRect& box, IconId icon);

// An etched rule along the top edge of box.
TEtchedLine* AddLine(QWidget* parent, const QString& name, const QRect& box);

// A transparent one-line label at (x, y) sized to its text.
TLabel* AddLabel(QWidget* parent, const QString& name, int x, int y, const QString& text,
                 const LabelStyle& style = {});

// A transparent label at (x, y) that wraps within width and grows downwards.
TLabel* AddWrapLabel(QWidget* parent, const QString& name, int x, int y, int width,
                     const QString& text, const LabelStyle& style = {});

// A push button at box; Enter presses it while it has the focus.
TButton* AddButton(QWidget* parent, const QString& name, const QRect& box, const QString& caption);
