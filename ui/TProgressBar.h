#pragma once

#include <QProgressBar>

// A progress bar whose position costs next to nothing to set: it repaints only when the filled
// width changes, and paints whatever position it holds at that moment. A transfer sets it once
// per block, far more often than any pixel changes.
class TProgressBar : public QProgressBar {
    Q_OBJECT

public:
    explicit TProgressBar(QWidget* parent);

    void SetPosition(int position);
    int Position() const { return m_position; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int FilledWidth(int position) const;

    int m_position = 0;
    int m_paintedWidth = -1;
};
