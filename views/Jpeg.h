#pragma once
#include <QByteArray>
#include <QImage>
#include <QString>

// JPEG pictures through libjpeg itself. A damaged or truncated picture never ends the
// program: decoding gives a null image and says why.
namespace Jpeg {

// Decodes a JPEG held in memory into an RGB image; a null image (and the reason in *error)
// when the data is not a picture libjpeg can read.
QImage Decode(const QByteArray& data, QString* error = nullptr);

// Encodes an image as a baseline JPEG of the given quality (1..100); empty on failure.
QByteArray Encode(const QImage& image, int quality = 90, QString* error = nullptr);

} // namespace Jpeg
