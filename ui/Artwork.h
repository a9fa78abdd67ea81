#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QPixmap>

// The program's own pictures, compiled in from assets/.
enum class IconId { Bolt32, Bolt16, ArrowRight, ArrowLeft, Mascot, Question, Exclamation };

// Decodes a whole baseline or progressive JPEG (colour or grayscale) into Format_RGB888.
// Returns a null image for empty, truncated, corrupt or CMYK data; never prints anything.
QImage DecodeJpeg(const QByteArray& data);

// The 127 x 96 window background, decoded once on first use; null if the resource is broken.
const QImage& BackgroundTexture();

// A compiled-in icon at its own size (32 x 32, Bolt16 16 x 16).
QPixmap IconPixmap(IconId id);

// The lightning bolt in both sizes, for window icons.
QIcon AppIcon();
