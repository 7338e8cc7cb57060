// Paints the window's three pictures and writes them as JPEG files:
//   logo.jpg          105 x 41   the header logo
//   wiring_2wire.jpg  577 x 337  a 2-wire HART instrument on the module
//   wiring_4wire.jpg  577 x 329  a 4-wire HART instrument on the module
//
// Usage: ortiva-pictures <output folder>
// The files in assets/ were made with it; rebuild them after a change with
//   cmake --build <build> --target ortiva-pictures && <build>/app/ortiva-pictures assets
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

bool SaveJpeg(const QImage& source, const std::string& path, int quality)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);  // a generator may stop on an encoder error
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = static_cast<JDIMENSION>(image.width());
    cinfo.image_height = static_cast<JDIMENSION>(image.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    // Full colour resolution keeps thin coloured wires crisp.
    for (int i = 0; i < cinfo.num_components; ++i) {
        cinfo.comp_info[i].h_samp_factor = 1;
        cinfo.comp_info[i].v_samp_factor = 1;
    }
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(static_cast<int>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(out) == 0;
}

QFont Font(int pixels, bool bold = false)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

const QColor kInk(0x20, 0x2a, 0x3a);
const QColor kBlue(0x1f, 0x5f, 0xb0);

QImage Logo()
{
    // Painted at four times the size and scaled down for smooth edges.
    const int s = 4;
    QImage big(105 * s, 41 * s, QImage::Format_RGB32);
    big.fill(Qt::white);
    QPainter p(&big);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(s, s);

    // A ring with a loop-current wave through it.
    p.setPen(QPen(kBlue, 3.2));
    p.drawEllipse(QPointF(19, 20.5), 13, 13);
    QPainterPath wave;
    wave.moveTo(8, 21);
    wave.cubicTo(13, 11, 17, 11, 19, 20.5);
    wave.cubicTo(21, 30, 25, 30, 30, 20);
    p.setPen(QPen(QColor(0xe0, 0x6c, 0x1f), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(wave);

    p.setPen(kInk);
    p.setFont(Font(15, true));
    p.drawText(QRectF(36, 5, 68, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("ORTIVA"));
    p.setPen(kBlue);
    p.setFont(Font(6));
    p.drawText(QRectF(37, 24, 68, 10), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("HART  \u00b7  MODBUS"));
    p.end();
    return big.scaled(105, 41, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// ---- Wiring diagrams ------------------------------------------------------

constexpr double kCellLeft = 18;
constexpr double kCellWidth = 45;

double TerminalX(int n) { return kCellLeft + kCellWidth * (n - 1) + kCellWidth / 2; }

struct Diagram {
    QPainter& p;
    double terminalBottom;  // where wires leave the terminals

    void Wire(const QColor& colour, std::vector<QPointF> points, bool dashed = false)
    {
        QPen pen(colour, 2.0, dashed ? Qt::DashLine : Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        QPainterPath path(points.front());
        for (size_t i = 1; i < points.size(); ++i) path.lineTo(points[i]);
        p.drawPath(path);
        p.setBrush(colour);
        p.setPen(Qt::NoPen);
        p.drawEllipse(points.back(), 2.6, 2.6);
    }

    // A wire straight down from terminal n to a device whose top is at y.
    void Down(int n, double y, const QColor& colour)
    {
        Wire(colour, {{TerminalX(n), terminalBottom}, {TerminalX(n), y}});
    }

    void Device(const QRectF& r, const QStringList& lines, const QColor& fill)
    {
        p.setPen(QPen(kInk, 1.4));
        p.setBrush(fill);
        p.drawRoundedRect(r, 5, 5);
        p.setPen(kInk);
        p.setFont(Font(10, true));
        p.drawText(r.adjusted(3, 14, -3, -13), Qt::AlignHCenter | Qt::AlignVCenter, lines.join(QLatin1Char('\n')));
    }

    // A pin caption just inside the top edge of a device, under a wire.
    void Pin(double x, double top, const QString& text)
    {
        p.setPen(kInk);
        p.setFont(Font(9, true));
        p.drawText(QRectF(x - 22, top + 2, 44, 12), Qt::AlignCenter, text);
    }

    // The same just inside the bottom edge, over a wire leaving downwards.
    void PinBelow(double x, double bottom, const QString& text)
    {
        p.setPen(kInk);
        p.setFont(Font(9, true));
        p.drawText(QRectF(x - 22, bottom - 14, 44, 12), Qt::AlignCenter, text);
    }

    void Text(const QRectF& r, const QString& text, int pixels, bool bold = false, int flags = Qt::AlignLeft)
    {
        p.setPen(kInk);
        p.setFont(Font(pixels, bold));
        p.drawText(r, flags | Qt::TextWordWrap, text);
    }
};

QImage Wiring(bool fourWire)
{
    const int width = 577;
    const int height = fourWire ? 329 : 337;
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    Diagram d{p, 0};
    d.Text(QRectF(12, 6, 553, 20),
           fourWire ? QStringLiteral("Wiring a 4-wire HART instrument")
                    : QStringLiteral("Wiring a 2-wire HART instrument"),
           15, true);

    // The module with its terminal block.
    const QRectF module(10, 32, 557, 98);
    p.setPen(QPen(kInk, 1.6));
    p.setBrush(QColor(0xe6, 0xea, 0xf0));
    p.drawRoundedRect(module, 6, 6);
    d.Text(QRectF(20, 38, 540, 18), QStringLiteral("Ortiva converter module (HART \u2194 RS232 / RS485 MODBUS RTU)"),
           11, true, Qt::AlignHCenter);
    const char* names[12] = {"RXD", "TXD", "GND", "D+", "D-", "NC", "LOOP-", "LOOP+", "GND", "POW", "POW", "GND"};
    const double cellTop = 84;
    for (int n = 1; n <= 12; ++n) {
        const QRectF cell(kCellLeft + kCellWidth * (n - 1) + 2, cellTop, kCellWidth - 4, 40);
        p.setPen(QPen(kInk, 1.2));
        p.setBrush(QColor(0x9a, 0xa7, 0xb8));
        p.drawRect(cell);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(cell.center().x(), cellTop + 28), 6, 6);
        p.drawLine(QPointF(cell.center().x() - 4, cellTop + 32), QPointF(cell.center().x() + 4, cellTop + 24));
        p.setPen(Qt::white);
        p.setFont(Font(11, true));
        p.drawText(QRectF(cell.left(), cellTop + 1, cell.width(), 15), Qt::AlignCenter, QString::number(n));
        p.setPen(kInk);
        p.setFont(Font(9, true));
        p.drawText(QRectF(cell.left() - 4, cellTop + 44, cell.width() + 8, 12), Qt::AlignCenter,
                   QString::fromLatin1(names[n - 1]));
    }
    d.terminalBottom = cellTop + 58;

    // Brackets naming the terminal groups.
    const auto bracket = [&](int first, int last, const QString& text) {
        const double l = TerminalX(first) - 18, r = TerminalX(last) + 18, y = 58;
        p.setPen(QPen(kBlue, 1.2));
        p.drawLine(QPointF(l, y + 16), QPointF(l, y + 12));
        p.drawLine(QPointF(l, y + 12), QPointF(r, y + 12));
        p.drawLine(QPointF(r, y + 12), QPointF(r, y + 16));
        p.setPen(kBlue);
        p.setFont(Font(9, true));
        p.drawText(QRectF(l - 10, y - 2, r - l + 20, 13), Qt::AlignCenter, text);
    };
    bracket(1, 3, QStringLiteral("RS232"));
    bracket(4, 5, QStringLiteral("RS485"));
    bracket(7, 8, QStringLiteral("HART loop"));
    bracket(9, 12, QStringLiteral("DC supply"));

    const QColor rs232(0x1f, 0x5f, 0xb0), rs485(0x1e, 0x8a, 0x4c), plus(0xc8, 0x1e, 0x1e), minus(0x22, 0x22, 0x22);
    const double top = 180, bottom = 236;

    // RS232 equipment: its TXD goes to the module's RXD and the other way round.
    d.Device(QRectF(14, top, 140, bottom - top), {QStringLiteral("RS232 equipment"), QStringLiteral("(PC COM port)")},
             QColor(0xe8, 0xf0, 0xfb));
    d.Down(1, top, rs232);
    d.Down(2, top, rs232);
    d.Down(3, top, minus);
    d.Pin(TerminalX(1), top, QStringLiteral("TXD"));
    d.Pin(TerminalX(2), top, QStringLiteral("RXD"));
    d.Pin(TerminalX(3), top, QStringLiteral("GND"));

    d.Device(QRectF(158, top, 86, bottom - top), {QStringLiteral("RS485"), QStringLiteral("equipment")},
             QColor(0xe7, 0xf5, 0xec));
    d.Down(4, top, rs485);
    d.Down(5, top, rs485);
    d.Pin(TerminalX(4), top, QStringLiteral("A / D+"));
    d.Pin(TerminalX(5), top, QStringLiteral("B / D-"));

    d.Text(QRectF(TerminalX(6) - 20, d.terminalBottom + 6, 40, 14), QStringLiteral("n.c."), 9, false, Qt::AlignHCenter);

    // The instrument on the loop: LOOP+ to its +, its - back to LOOP-.
    const QRectF instrument(TerminalX(7) - 22, top, TerminalX(8) - TerminalX(7) + 42, bottom - top);
    d.Device(instrument,
             fourWire ? QStringList{QStringLiteral("4-wire"), QStringLiteral("HART")}
                      : QStringList{QStringLiteral("2-wire"), QStringLiteral("HART")},
             QColor(0xfd, 0xf0, 0xe3));
    d.Down(8, top, plus);
    d.Down(7, top, minus);
    d.Pin(TerminalX(7), top, QStringLiteral("-"));
    d.Pin(TerminalX(8), top, QStringLiteral("+"));

    // The DC supply on 9..12: + to both POW, - to both GND.
    const QRectF supply(TerminalX(9) - 18, top, TerminalX(12) - TerminalX(9) + 40, bottom - top);
    d.Device(supply, {QStringLiteral("24 V DC supply")}, QColor(0xf3, 0xf3, 0xf3));
    d.Down(9, top, minus);
    d.Down(10, top, plus);
    d.Down(11, top, plus);
    d.Down(12, top, minus);
    d.Pin(TerminalX(9), top, QStringLiteral("-"));
    d.Pin(TerminalX(10), top, QStringLiteral("+"));
    d.Pin(TerminalX(11), top, QStringLiteral("+"));
    d.Pin(TerminalX(12), top, QStringLiteral("-"));

    QString note;
    if (fourWire) {
        // The instrument has supply wires of its own; the loop carries only
        // its active current output.
        const double y1 = bottom + 10, y2 = bottom + 22;
        const double supplyPlus = TerminalX(10), supplyMinus = TerminalX(12);
        const double instrumentPlus = TerminalX(8) - 6, instrumentMinus = TerminalX(7) + 6;
        d.Wire(plus, {{supplyPlus, bottom}, {supplyPlus, y1}, {instrumentPlus, y1}, {instrumentPlus, bottom}});
        d.Wire(minus, {{supplyMinus, bottom}, {supplyMinus, y2}, {instrumentMinus, y2}, {instrumentMinus, bottom}});
        d.PinBelow(supplyPlus, bottom, QStringLiteral("+"));
        d.PinBelow(supplyMinus, bottom, QStringLiteral("-"));
        d.PinBelow(instrumentPlus, bottom, QStringLiteral("L+"));
        d.PinBelow(instrumentMinus, bottom, QStringLiteral("L-"));
        d.Text(QRectF(supplyPlus - 20, y2 + 3, 150, 12), QStringLiteral("instrument supply"), 9, false, Qt::AlignLeft);
        note =
            QStringLiteral("The instrument is powered separately; its active 4-20 mA HART output drives LOOP+ / LOOP-. "
                           "Do not power the loop from the module as well.");
    } else {
        // Inside the module the DC supply feeds the loop.
        p.setPen(QPen(plus, 1.4, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        const double y = cellTop - 6;
        QPainterPath feed(QPointF(TerminalX(10), cellTop));
        feed.lineTo(TerminalX(10), y);
        feed.lineTo(TerminalX(8), y);
        feed.lineTo(TerminalX(8), cellTop - 1);
        p.drawPath(feed);
        p.setBrush(plus);
        p.setPen(Qt::NoPen);
        QPolygonF arrow;
        arrow << QPointF(TerminalX(8) - 4, cellTop - 7) << QPointF(TerminalX(8) + 4, cellTop - 7)
              << QPointF(TerminalX(8), cellTop - 1);
        p.drawPolygon(arrow);
        note =
            QStringLiteral("Loop powered: the DC supply on POW / GND feeds the current loop through LOOP+; the 2-wire "
                           "instrument draws 4-20 mA and answers HART on the same two wires.");
    }
    if (fourWire) {
        d.Text(QRectF(14, height - 46, 549, 40), note, 10);
    } else {
        d.Text(QRectF(14, bottom + 18, 549, 40), note, 10);
        // Colour key for the wires.
        const std::pair<QColor, QString> keys[] = {{plus, QStringLiteral("+ supply / loop")},
                                                   {minus, QStringLiteral("- / GND")},
                                                   {rs232, QStringLiteral("RS232")},
                                                   {rs485, QStringLiteral("RS485")}};
        double x = 14;
        const double y = height - 18;
        for (const auto& [colour, text] : keys) {
            p.setPen(QPen(colour, 2.0));
            p.drawLine(QPointF(x, y), QPointF(x + 22, y));
            d.Text(QRectF(x + 28, y - 7, 120, 14), text, 10);
            x += 140;
        }
    }
    p.end();
    return image;
}

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = SaveJpeg(Logo(), dir + "/logo.jpg", 95);
    ok = SaveJpeg(Wiring(false), dir + "/wiring_2wire.jpg", 92) && ok;
    ok = SaveJpeg(Wiring(true), dir + "/wiring_4wire.jpg", 92) && ok;
    return ok ? 0 : 1;
}
