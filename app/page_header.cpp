// The header above the pages and the Send/Receive Buffer strip below them.
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "form_build.h"
#include "pictures.h"
#include "tform1.h"

using namespace ortiva::build;

namespace {
QFont HeaderFont(const QFont& base, int pixels, bool bold)
{
    QFont f = base;
    f.setFamilies({QStringLiteral("Segoe UI"), QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                   QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica")});
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}
}  // namespace

QLayout* TForm1::BuildHeader()
{
    auto* header = new QHBoxLayout;
    header->setSpacing(0);

    Label(DESIGN(Image1), this, QString());
    Image1->setFixedSize(105, 41);
    Image1->setScaledContents(true);
    Image1->setPixmap(ortiva::LoadJpegPicture(QStringLiteral(":/pictures/logo.jpg")));
    Image1->setAccessibleName(QStringLiteral("Ortiva logo"));
    header->addWidget(Image1, 0, Qt::AlignVCenter);
    header->addSpacing(12);

    auto* titles = new QVBoxLayout;
    titles->setSpacing(0);
    Label(DESIGN(Label41), this, QStringLiteral("Ortiva Parameter Configuration Software"));
    Label41->setFont(HeaderFont(font(), 29, true));
    Label(DESIGN(Label77), this, QStringLiteral("V6.0(Aug 20. 2024)"));
    titles->addWidget(Label41);
    titles->addWidget(Label77);
    header->addLayout(titles);

    // Two double-click targets that show nothing: one over the end of the
    // title, one just right of it.
    auto* label8 = new DoubleClickLabel(this);
    Label8 = label8;
    Label8->setObjectName(QStringLiteral("Label8"));
    Label8->setFixedSize(17, 33);
    auto* label51 = new DoubleClickLabel(this);
    Label51 = label51;
    Label51->setObjectName(QStringLiteral("Label51"));
    Label51->setFixedSize(25, 33);
    header->addWidget(Label8, 0, Qt::AlignTop);
    header->addWidget(Label51, 0, Qt::AlignTop);
    header->addStretch(1);

    auto* contacts = new QVBoxLayout;
    contacts->setSpacing(0);
    const QFont contactFont = HeaderFont(font(), 13, false);
    Label(DESIGN(Label76), this, QStringLiteral("E-mail: service@ortiva-instruments.example"));
    Label(DESIGN(Label82), this, QStringLiteral("Web: www.ortiva-instruments.example"));
    Label(DESIGN(Label52), this, QStringLiteral("Tel: +00 (0)100 555 0160"));
    for (QLabel* l : {Label76, Label82, Label52}) {
        l->setFont(contactFont);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        contacts->addWidget(l);
    }
    header->addLayout(contacts);
    return header;
}

QLayout* TForm1::BuildBottomStrip()
{
    QGridLayout* grid = new QGridLayout;
    grid->setContentsMargins(0, 2, 0, 0);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);

    Label(DESIGN(Label40), this, QStringLiteral("Send Buffer:"));
    Edit(DESIGN(Edit8), this, QString(), 0);
    Edit8->setMinimumWidth(600);
    Buddy(Label40, Edit8);

    Label(DESIGN(Label60), this, QStringLiteral("Receive Buffer:"));
    Memo10 = new QPlainTextEdit(this);
    Memo10->setObjectName(QStringLiteral("Memo10"));
    Memo10->setFixedHeight(65);
    Memo10->setMinimumWidth(600);
    Memo10->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo10->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo10->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Buddy(Label60, Memo10);

    Button(DESIGN(Button26), this, QStringLiteral("Clear Buffer"));

    grid->addWidget(Label40, 0, 0, Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(Edit8, 0, 1);
    grid->addWidget(Label60, 1, 0, Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(Memo10, 1, 1);
    grid->addWidget(Button26, 1, 2, Qt::AlignBottom);
    grid->setColumnStretch(1, 1);
    return grid;
}
