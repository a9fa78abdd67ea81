#pragma once

#include <QColor>
#include <QLabel>

// A transparent plain-text label that keeps itself sized to its text.
// One-line labels grow to the right from their left edge, or to the left from a fixed
// right edge (setRightEdge); wrapping labels keep their width and grow downwards.
// Resizing happens in TLabel::setText and on font changes: call setText through a
// TLabel pointer, not through QLabel*.
class TLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLabel(QWidget* parent);

    void setText(const QString& text);

    // Text colour for the enabled look; a disabled label keeps the style's grey.
    void setTextColor(const QColor& color);
    QColor textColor() const;

    // Keeps the right edge at x (exclusive, as QRect::right() + 1) whatever the text width.
    void setRightEdge(int x);
    // Wraps at word boundaries within width pixels; the height follows the text.
    void setWrapWidth(int width);

protected:
    void changeEvent(QEvent* event) override;

private:
    void FitToText();

    int m_rightEdge = -1;
    int m_wrapWidth = -1;
};
