#pragma once

#include <QWidget>

// An etched horizontal rule along the top edge of its box: a shadow line over a light one.
class TEtchedLine : public QWidget {
    Q_OBJECT
public:
    explicit TEtchedLine(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};
