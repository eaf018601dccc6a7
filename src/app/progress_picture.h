// The progress bar: a picture box with a persistent image that DrawProgress paints into.
#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

namespace app {

class ProgressPicture : public QWidget {
    Q_OBJECT
public:
    explicit ProgressPicture(QWidget* parent = nullptr);

    bool AutoRedraw = false;
    QColor ForeColor{0, 255, 0};
    QColor BackColor; // the system window colour unless set

    // The persistent image, sized to the widget; what paintEvent shows.
    QImage& Image();
    const QImage& image() const { return image_; }
    void Cls(); // clears the image to BackColor
    void Refresh();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QImage image_;
};

// Clears the picture and draws a bar of `percent` (0..100 of its width) in its foreground
// colour with the Not-Xor-Pen raster mode; with showText, the percentage centred above it.
void DrawProgress(ProgressPicture* picture, qint16 percent, bool showText);

} // namespace app
