// Grabs each page of the main window as PNG files, for looking at the layout:
//   ortiva-shots <folder> [suffix]
// writes <folder>/page<N>_<suffix>.png for the six pages, as the window shows
// them (a suffix containing "dark" shows the window under a dark desktop
// palette). When the window scrolls, page<N>_<suffix>_end.png shows the page
// scrolled to its bottom right end. On a real display (for example
// Xvfb :99 -screen 0 1366x768x24, DISPLAY=:99 QT_QPA_PLATFORM=xcb, with
// QT_SCALE_FACTOR=1.5 for a scaled desktop) screen<N>_<suffix>.png shows the
// whole screen with the window on it.
#include <QApplication>
#include <QDir>
#include <QFontInfo>
#include <QGroupBox>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTextStream>

#include "messages.h"
#include "private_settings.h"
#include "tform1.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(ortiva::kApplicationTitle));
    if (argc < 2) {
        qWarning("usage: ortiva-shots <folder> [suffix]");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString suffix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("100");
    QDir().mkpath(folder);
    if (suffix.contains(QStringLiteral("dark"))) {
        // A dark desktop theme, to see that the window keeps it readable.
        QPalette dark(QColor(0x35, 0x35, 0x35));
        dark.setColor(QPalette::WindowText, Qt::white);
        dark.setColor(QPalette::Text, Qt::white);
        dark.setColor(QPalette::ButtonText, Qt::white);
        dark.setColor(QPalette::Base, QColor(0x25, 0x25, 0x25));
        QApplication::setPalette(dark);
    }

    TForm1 form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) qWarning("the window was not shown");
    QTest::qWait(200);  // let the window system place and paint it

    // What each part needs at least, beside what it got, and where the
    // window sits on the screen.
    QTextStream out(stdout);
    const auto line = [&out](const QWidget* w) {
        out << w->objectName() << ": needs " << w->minimumSizeHint().width() << "x" << w->minimumSizeHint().height()
            << ", has " << w->width() << "x" << w->height() << "\n";
    };
    const auto rect = [](const QRect& r) {
        return QStringLiteral("%1x%2 at %3,%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
    };
    QScrollArea* area = form.ClientArea;
    out << "platform: " << QGuiApplication::platformName() << ", scale " << form.devicePixelRatioF() << "\n";
    out << "screen: " << rect(form.screen()->geometry()) << ", available " << rect(form.screen()->availableGeometry())
        << "\n";
    out << "window frame: " << rect(form.frameGeometry()) << ", client " << rect(form.geometry()) << "\n";
    out << "content: needs " << area->widget()->minimumSizeHint().width() << "x"
        << area->widget()->minimumSizeHint().height()
        << ", scroll bars:" << (area->horizontalScrollBar()->isVisible() ? " horizontal" : "")
        << (area->verticalScrollBar()->isVisible() ? " vertical" : "") << "\n";
    out << "font: " << QFontInfo(form.font()).family() << " " << QFontInfo(form.font()).pixelSize() << "px\n";
    line(&form);
    for (int i = 0; i < form.PageControl1->count(); ++i) {
        line(form.PageControl1->widget(i));
        for (const QGroupBox* g : form.PageControl1->widget(i)->findChildren<QGroupBox*>())
            if (!g->isHidden()) line(g);
    }
    out.flush();

    const bool onScreen = QGuiApplication::platformName() != QLatin1String("offscreen");
    for (int i = 0; i < form.PageControl1->count(); ++i) {
        form.PageControl1->setCurrentIndex(i);
        area->horizontalScrollBar()->setValue(0);
        area->verticalScrollBar()->setValue(0);
        QTest::qWait(100);
        const QString name = QStringLiteral("%1/page%2_%3").arg(folder).arg(i + 1).arg(suffix);
        form.grab().save(name + QStringLiteral(".png"));
        if (onScreen)
            form.screen()->grabWindow(0).save(QStringLiteral("%1/screen%2_%3.png").arg(folder).arg(i + 1).arg(suffix));
        if (area->horizontalScrollBar()->isVisible() || area->verticalScrollBar()->isVisible()) {
            area->horizontalScrollBar()->setValue(area->horizontalScrollBar()->maximum());
            area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
            QTest::qWait(100);
            form.grab().save(name + QStringLiteral("_end.png"));
        }
    }
    return 0;
}
