// Pages "2-Wire Instruments" and "4-Wire Instruments": one wiring diagram each.
#include <QTabWidget>
#include <QVBoxLayout>

#include "form_build.h"
#include "pictures.h"
#include "tform1.h"

using namespace ortiva::build;

namespace {
QWidget* DiagramPage(QTabWidget* pages, const char* pageName, const QString& caption, QLabel*& image,
                     const char* imageName, const QString& resource, QSize size, const QString& description)
{
    auto* page = new QWidget;
    page->setObjectName(QString::fromLatin1(pageName));
    pages->addTab(page, caption);
    Label(image, imageName, page, QString());
    image->setFixedSize(size);
    image->setScaledContents(true);
    image->setPixmap(ortiva::LoadJpegPicture(resource));
    image->setAccessibleName(description);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(200, 24, 8, 8);
    layout->addWidget(image, 0, Qt::AlignLeft | Qt::AlignTop);
    layout->addStretch(1);
    return page;
}
}  // namespace

void TForm1::BuildWiringPages()
{
    TabSheet4 = DiagramPage(PageControl1, "TabSheet4", QStringLiteral("2-Wire Instruments"), DESIGN(Image2),
                            QStringLiteral(":/pictures/wiring_2wire.jpg"), QSize(577, 337),
                            QStringLiteral("Wiring of a 2-wire HART instrument"));
    TabSheet5 = DiagramPage(PageControl1, "TabSheet5", QStringLiteral("4-Wire Instruments"), DESIGN(Image3),
                            QStringLiteral(":/pictures/wiring_4wire.jpg"), QSize(577, 329),
                            QStringLiteral("Wiring of a 4-wire HART instrument"));
}
