#include "tform1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWindow>

#include "form_build.h"
#include "messages.h"
#include "one_shot_timer.h"
#include "qt_comm.h"
#include "tcomm.h"

using ortiva::Guarded;

TForm1::TForm1(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Ortiva"));
    ApplyLook();

    CreateComm();
    CreateTimers();

    // Everything sits in a scroll area, which shows scroll bars only when the
    // window is smaller than the layout needs.
    auto* client = new QWidget;
    client->setAutoFillBackground(true);
    auto* outer = new QVBoxLayout(client);
    outer->setContentsMargins(8, 4, 8, 6);
    outer->setSpacing(4);
    outer->addLayout(BuildHeader());
    if (!Image1->pixmap().isNull()) setWindowIcon(QIcon(Image1->pixmap()));

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setUsesScrollButtons(false);
    BuildSystemPage();
    BuildTransparentPage();
    BuildModbusPage();
    BuildMonitoringPage();
    BuildWiringPages();
    PageControl1->setCurrentIndex(0);
    outer->addWidget(PageControl1, 1);

    outer->addLayout(BuildBottomStrip());

    ClientArea = new QScrollArea(this);
    ClientArea->setFrameShape(QFrame::NoFrame);
    ClientArea->setWidgetResizable(true);
    ClientArea->setWidget(client);
    auto* frame = new QVBoxLayout(this);
    frame->setContentsMargins(0, 0, 0, 0);
    frame->setSpacing(0);
    BuildMenuBar();
    frame->setMenuBar(MenuBar);
    frame->addWidget(ClientArea);

    ConnectHandlers();
    ortiva::build::ApplyReadingTabOrder(this);
    FitToScreen();

    FormCreate();

    PortWatcher = new ortiva::PortWatch(this);
    connect(PortWatcher, &ortiva::PortWatch::Back, this,
            [this](const QString& path) { Guarded([&] { PortBack(path); }); });
    RestoreRememberedLine();
}

TForm1::~TForm1()
{
    // The worker threads must not outlive the window that receives their chunks.
    if (Comm1) Comm1->ClosePort();
}

void TForm1::ApplyLook()
{
    // The design's font, where the system has it; Qt falls back to a similar one.
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Tahoma"),
                      QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"),
                      QStringLiteral("Helvetica")});
    font.setPixelSize(11);
    setFont(font);

    // Silver behind everything on a light theme; a dark theme keeps its own
    // colours so that text stays readable. Every other colour is the palette's.
    QPalette pal = palette();
    if (pal.color(QPalette::Window).lightness() >= 128) {
        const QColor silver(0xC0, 0xC0, 0xC0);
        pal.setColor(QPalette::Window, silver);
        pal.setColor(QPalette::Button, silver);  // pages and group frames are drawn in the button colour
    }
    setPalette(pal);
    setAutoFillBackground(true);
}

void TForm1::CreateComm()
{
    auto* comm = new ortiva::QtComm(this);
    comm->setObjectName(QStringLiteral("Comm1"));
    Comm1 = &comm->Comm();
    // The window's instance differs from the component's defaults here.
    Comm1->SetCommName("COM2");
    Comm1->SetBaudRate(9600);
    Comm1->SetDtrControl(TDtrControl::DtrDisable);
    Comm1->SetOutx_XonXoffFlow(false);
    Comm1->SetInx_XonXoffFlow(false);
    Comm1->SetRtsControl(TRtsControl::RtsDisable);
    Comm1->SetOnReceiveData([this](TObject* sender, const void* buffer, uint16_t length) {
        Guarded([&] { Comm1ReceiveData(sender, buffer, length); });
    });
    Comm1->SetOnRequestHangup([this](TObject* sender) { Guarded([&] { Comm1RequestHangup(sender); }); });
}

void TForm1::FitToScreen()
{
    // The design's client area, with the menu bar above it.
    const QSize design(1110, 651 + (MenuBar ? MenuBar->sizeHint().height() : 0));
    const QScreen* where = screen();
    if (!where) {
        resize(design);
        return;
    }
    const QRect room = where->availableGeometry();
    // The frame the window system draws around the window, once it is known.
    QMargins frame;
    if (const QWindow* window = windowHandle()) frame = window->frameMargins();
    const QSize outside(frame.left() + frame.right(), frame.top() + frame.bottom());
    const QSize size = design.boundedTo(room.size() - outside);
    resize(size);
    const QSize framed = size + outside;
    move(room.x() + (room.width() - framed.width()) / 2, room.y() + (room.height() - framed.height()) / 2);
}

void TForm1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Placed again once shown, with the frame where it is known by now.
    if (!placed_) {
        placed_ = true;
        FitToScreen();
    }
}

void TForm1::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    // A window manager tells its frame's size only once it has framed the
    // window, and moves the window then: fit once more, frame included.
    if (placed_ && !placedInFrame_ && windowHandle() && !windowHandle()->frameMargins().isNull()) {
        placedInFrame_ = true;
        FitToScreen();
    }
}

void TForm1::CreateTimers()
{
    Timer2 = new OneShotTimer(ortiva::kParseTickMs, this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setHandler([this] { Guarded([this] { Timer2Timer(); }); });

    Timer3 = new OneShotTimer(ortiva::kReplyTimeoutInitialMs, this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer3->setHandler([this] { Guarded([this] { Timer3Timer(); }); });

    Timer4 = new OneShotTimer(ortiva::kDelayedCloseMs, this);
    Timer4->setObjectName(QStringLiteral("Timer4"));
    Timer4->setHandler([this] { Guarded([this] { Timer4Timer(); }); });
}

void TForm1::ConnectHandlers()
{
    const auto click = [this](QAbstractButton* button, void (TForm1::*handler)()) {
        connect(button, &QAbstractButton::clicked, this, [this, handler] { Guarded([&] { (this->*handler)(); }); });
    };
    // A list's change handler runs on the operator's choice and typed text
    // only: decoders and other handlers set lists without running it.
    const auto choice = [this](QComboBox* box, void (TForm1::*handler)()) {
        connect(box, &QComboBox::activated, this, [this, handler] { Guarded([&] { (this->*handler)(); }); });
        if (box->lineEdit())
            connect(box->lineEdit(), &QLineEdit::textEdited, this,
                    [this, handler] { Guarded([&] { (this->*handler)(); }); });
    };

    click(Button26, &TForm1::Button26Click);

    click(Button1, &TForm1::Button1Click);
    click(Button6, &TForm1::Button6Click);
    click(Button23, &TForm1::Button23Click);
    connect(Edit14, &QLineEdit::textChanged, this, [this] { Guarded([this] { Edit14Change(); }); });

    click(Button5, &TForm1::Button5Click);
    click(Button9, &TForm1::Button9Click);
    click(Button29, &TForm1::Button29Click);
    click(Button24, &TForm1::Button24Click);
    click(Button22, &TForm1::Button22Click);
    click(Button15, &TForm1::Button15Click);
    click(Button33, &TForm1::Button33Click);
    click(Button27, &TForm1::Button27Click);
    click(Button28, &TForm1::Button28Click);
    click(Button32, &TForm1::Button32Click);
    click(Button30, &TForm1::Button30Click);
    click(Button60, &TForm1::Button60Click);
    connect(static_cast<ortiva::build::DoubleClickLabel*>(Label8), &ortiva::build::DoubleClickLabel::doubleClicked,
            this, [this] { Guarded([this] { Label8DblClick(); }); });
    connect(static_cast<ortiva::build::DoubleClickLabel*>(Label51), &ortiva::build::DoubleClickLabel::doubleClicked,
            this, [this] { Guarded([this] { Label51DblClick(); }); });

    click(Button14, &TForm1::Button14Click);
    click(Button20, &TForm1::Button20Click);
    choice(ComboBox30, &TForm1::ComboBox30Change);
    click(Button7, &TForm1::Button7Click);
    click(Button16, &TForm1::Button16Click);

    choice(ComboBox41, &TForm1::ComboBox41Change);
    click(Button31, &TForm1::Button31Click);
    click(Button10, &TForm1::Button10Click);
    click(Button21, &TForm1::Button21Click);
    click(Button2, &TForm1::Button2Click);
    click(Button19, &TForm1::Button19Click);
    choice(ComboBox17, &TForm1::ComboBox17Change);
    click(Button17, &TForm1::Button17Click);
    click(Button18, &TForm1::Button18Click);
    click(Button12, &TForm1::Button12Click);
    click(Button4, &TForm1::Button4Click);
    click(Button13, &TForm1::Button13Click);

    click(Button3, &TForm1::Button3Click);
    click(Button25, &TForm1::Button25Click);
    click(Button35, &TForm1::Button35Click);
    click(Button42, &TForm1::Button42Click);
    click(Button68, &TForm1::Button68Click);
    click(Button72, &TForm1::Button72Click);
    click(Button8, &TForm1::Button8Click);
    click(Button11, &TForm1::Button11Click);
    click(Button41, &TForm1::Button41Click);
    click(Button43, &TForm1::Button43Click);
    click(Button69, &TForm1::Button69Click);
    click(Button73, &TForm1::Button73Click);
}

void TForm1::FormCreate()
{
    Button6->setEnabled(true);

    Timer2->setEnabled(false);
    Timer3->setEnabled(false);
    Timer4->setEnabled(false);

    Edit1->clear();

    // The per-device fields start blank; the first MODBUS parameter query fills them.
    for (QComboBox* box : {ComboBox6, RADCOM1, RADCOM3, RADCOM5, RADCOM7, READLG1, READLG3, READLG5, READLG7, FAMOUT1,
                           FAMOUT3, FAMOUT5, FAMOUT7, FAMOUT9})
        ortiva::SelectIndex(box, -1);
    for (QLineEdit* edit : {READADR1, READADR3, READADR5, READADR7}) edit->clear();
    ortiva::SelectIndex(ComboBox28, -1);
    ortiva::SelectIndex(ComboBox29, -1);
    Edit4->clear();
    Edit5->clear();

    // Three lists would otherwise show an item while none is selected, and
    // send "/" (or drop the HART master bit) for what the operator sees as a
    // valid choice: what they show is what they send.
    ComboBox7->setCurrentIndex(0);   // "0_Transparent Mode"
    ComboBox18->setCurrentIndex(0);  // "0 close"
    ComboBox42->setCurrentIndex(0);  // "Master Mode"
}

void TForm1::Button26Click() { Memo10->clear(); }
