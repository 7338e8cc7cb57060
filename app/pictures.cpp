#include "pictures.h"

#include <QFile>

namespace ortiva {

QImage ImageFromPicture(const DecodedPicture& picture)
{
    if (picture.empty()) return {};
    const QImage view(picture.rgb.data(), picture.width, picture.height, static_cast<qsizetype>(picture.width) * 3,
                      QImage::Format_RGB888);
    return view.copy();
}

QPixmap LoadJpegPicture(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray data = file.readAll();
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.constData());
    return QPixmap::fromImage(ImageFromPicture(DecodeJpeg({bytes, static_cast<size_t>(data.size())})));
}

}  // namespace ortiva
