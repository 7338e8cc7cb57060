// The window's pictures: JPEG resources decoded by our own decoder.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QString>

#include "jpeg_decoder.h"

namespace ortiva {

// A deep copy of a decoded picture; a null image for an empty one.
QImage ImageFromPicture(const DecodedPicture& picture);

// Reads and decodes a picture; a missing, corrupt or truncated one gives a
// null pixmap.
QPixmap LoadJpegPicture(const QString& path);

}  // namespace ortiva
