#pragma once

#include <QImage>
#include <QWidget>

// The window background: the texture stretched over the whole box, or the plain
// button-face colour when the texture could not be decoded.
class TBackgroundImage : public QWidget {
    Q_OBJECT
public:
    explicit TBackgroundImage(QWidget* parent);

    // Replaces the picture (BackgroundTexture() by default); a null image means plain colour.
    void setTexture(const QImage& texture);
    const QImage& texture() const { return m_texture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_texture;
};
