#pragma once

#include "Artwork.h"

#include <QPixmap>
#include <QWidget>

// An icon drawn at its own size at the top-left corner of the box, never scaled.
class TIconImage : public QWidget {
    Q_OBJECT
public:
    TIconImage(QWidget* parent, IconId icon);

    void setIcon(IconId icon);
    IconId icon() const { return m_icon; }
    const QPixmap& pixmap() const { return m_pixmap; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    IconId m_icon;
    QPixmap m_pixmap;
};
