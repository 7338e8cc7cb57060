// Grabs each page of the main window as PNG files, for looking at the layout:
//   QT_QPA_PLATFORM=offscreen [QT_SCALE_FACTOR=1.5] ortiva-shots <folder> [suffix]
// writes <folder>/page<N>_<suffix>.png for the six pages (a suffix containing
// "dark" shows the window under a dark desktop palette).
#include <QApplication>
#include <QDir>
#include <QPalette>
#include <QPixmap>
#include <QFontInfo>
#include <QGroupBox>
#include <QTabWidget>
#include <QTextStream>

#include "messages.h"
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
    QApplication::processEvents();

    // What each part needs at least, beside what it got: a page that needs
    // more than the window gives it pushes the window beyond its design size.
    QTextStream out(stdout);
    const auto line = [&out](const QWidget* w) {
        out << w->objectName() << ": needs " << w->minimumSizeHint().width() << "x" << w->minimumSizeHint().height()
            << ", has " << w->width() << "x" << w->height() << "\n";
    };
    out << "font: " << QFontInfo(form.font()).family() << " " << QFontInfo(form.font()).pixelSize() << "px\n";
    line(&form);
    for (int i = 0; i < form.PageControl1->count(); ++i) {
        line(form.PageControl1->widget(i));
        for (const QGroupBox* g : form.PageControl1->widget(i)->findChildren<QGroupBox*>())
            if (!g->isHidden()) line(g);
    }
    for (int i = 0; i < form.PageControl1->count(); ++i) {
        form.PageControl1->setCurrentIndex(i);
        QApplication::processEvents();
        const QPixmap shot = form.grab();
        shot.save(QStringLiteral("%1/page%2_%3.png").arg(folder).arg(i + 1).arg(suffix));
    }
    return 0;
}
