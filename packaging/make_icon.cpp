// Makes the desktop icon from the window's logo at build time: the round mark
// at the logo's left end (the columns up to the first blank one), centred on
// a white square, scaled to each size asked for and written as PNG.
//
//   ortiva-icon LOGO.jpg SIZE OUT.png [SIZE OUT.png]...
#include <QFile>
#include <QImage>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "jpeg_decoder.h"
#include "pictures.h"

namespace {

bool Blank(QRgb pixel) { return qRed(pixel) > 235 && qGreen(pixel) > 235 && qBlue(pixel) > 235; }

// The logo's leftmost drawing (the columns up to the first blank column after
// it, and the rows it covers), on a white square with a small margin.
QImage MarkOf(const QImage& logo)
{
    const auto blankColumn = [&](int x) {
        for (int y = 0; y < logo.height(); ++y) {
            if (!Blank(logo.pixel(x, y))) return false;
        }
        return true;
    };
    int left = 0;
    while (left < logo.width() && blankColumn(left)) ++left;
    int right = left;
    while (right < logo.width() && !blankColumn(right)) ++right;
    int top = logo.height(), bottom = 0;
    for (int y = 0; y < logo.height(); ++y) {
        for (int x = left; x < right; ++x) {
            if (!Blank(logo.pixel(x, y))) {
                top = std::min(top, y);
                bottom = std::max(bottom, y + 1);
            }
        }
    }
    if (right <= left || bottom <= top) return logo;
    const QRect drawn(left, top, right - left, bottom - top);
    const int side = std::max(drawn.width(), drawn.height()) * 112 / 100;
    QImage square(side, side, QImage::Format_RGB32);
    square.fill(Qt::white);
    const QPoint at((side - drawn.width()) / 2, (side - drawn.height()) / 2);
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            square.setPixel(at.x() + x, at.y() + y, logo.pixel(drawn.x() + x, drawn.y() + y));
        }
    }
    return square;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc < 4 || argc % 2 != 0) {
        std::fprintf(stderr, "usage: %s LOGO.jpg SIZE OUT.png [SIZE OUT.png]...\n", argv[0]);
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    const QByteArray data = file.readAll();
    const QImage logo = ortiva::ImageFromPicture(
        ortiva::DecodeJpeg({reinterpret_cast<const uint8_t*>(data.constData()), static_cast<size_t>(data.size())}));
    if (logo.isNull()) {
        std::fprintf(stderr, "%s: %s is not a picture the window could show\n", argv[0], argv[1]);
        return 1;
    }
    const QImage mark = MarkOf(logo);
    for (int i = 2; i < argc; i += 2) {
        const int size = std::atoi(argv[i]);
        if (size < 16 || size > 1024) {
            std::fprintf(stderr, "%s: icon size %s is outside 16 to 1024\n", argv[0], argv[i]);
            return 2;
        }
        const QImage icon = mark.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (!icon.save(QString::fromLocal8Bit(argv[i + 1]), "PNG")) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[i + 1]);
            return 1;
        }
    }
    return 0;
}
