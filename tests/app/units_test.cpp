// The window's shared units: messages and the error report, the one-shot
// timer, the field sink over widgets, and the JPEG decoder.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <memory>
#include <stdexcept>

#include "convert.h"
#include "form_build.h"
#include "form_fields.h"
#include "jpeg_decoder.h"
#include "messages.h"
#include "one_shot_timer.h"
#include "pictures.h"
#include "tcomm.h"

using ortiva::MessageCapture;
using ortiva::RecordedMessage;

class UnitsTest : public QObject {
    Q_OBJECT

private slots:
    // ---- Messages ----------------------------------------------------------
    void fullStopRule_data();
    void fullStopRule();
    void errorReportShowsIconCaptionAndFullStop();
    void plainMessageIsTheTextAlone();
    void guardedTurnsErrorsIntoReports_data();
    void guardedTurnsErrorsIntoReports();
    void nestedCapturesRestoreTheOuterOne();

    // ---- One-shot timer ----------------------------------------------------
    void timerFiresOnceAndIsDisabledWhenItsHandlerRuns();
    void enablingARunningTimerKeepsItsDeadline();
    void sameIntervalKeepsTheDeadlineANewOneRestarts();
    void disablingStopsTheTimer();
    void timeScaleShrinksTheWaitNotTheInterval();

    // ---- Field sink ----------------------------------------------------------
    void listIndexOutsideTheListClearsIt_data();
    void listIndexOutsideTheListClearsIt();
    void textsAreOneCharacterPerByte();
    void unknownControlsAreProgrammingErrors();
    void typedTextLeavesNoSelection();

    // ---- Pictures ------------------------------------------------------------
    void bundledPicturesDecode_data();
    void bundledPicturesDecode();
    void damagedPicturesDecodeEmpty_data();
    void damagedPicturesDecodeEmpty();
    void missingPictureGivesNullPixmap();
};

// ---- Messages ----------------------------------------------------------------

void UnitsTest::fullStopRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "Error opening serial port"
                            << "Error opening serial port.";
    QTest::newRow("digit sorts after '.'") << "value 5"
                                           << "value 5.";
    QTest::newRow("slash sorts after '.'") << "a/"
                                           << "a/.";
    QTest::newRow("quote sorts before '.'") << "'x' is not a valid integer value'"
                                            << "'x' is not a valid integer value'";
    QTest::newRow("exclamation mark") << "Connection timed out!"
                                      << "Connection timed out!";
    QTest::newRow("full stop already") << "Done."
                                       << "Done.";
    QTest::newRow("closing parenthesis") << "(x)"
                                         << "(x)";
    QTest::newRow("trailing blank") << "abc "
                                    << "abc ";
    QTest::newRow("minus sorts before '.'") << "a-"
                                            << "a-";
    QTest::newRow("empty") << ""
                           << "";
}

void UnitsTest::fullStopRule()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(ortiva::WithFullStop(text), shown);
}

void UnitsTest::errorReportShowsIconCaptionAndFullStop()
{
    MessageCapture capture;
    ortiva::ShowErrorReport(std::string("'abc' is not a valid integer value"));
    QCOMPARE(capture.Messages().size(), size_t(1));
    const RecordedMessage& m = capture.Messages().front();
    QCOMPARE(m.kind, RecordedMessage::Kind::Error);
    QCOMPARE(m.caption, QStringLiteral("Ortiva"));
    QCOMPARE(m.text, QStringLiteral("'abc' is not a valid integer value."));
}

void UnitsTest::plainMessageIsTheTextAlone()
{
    MessageCapture capture;
    ortiva::ShowMessage(std::string("!"));
    ortiva::ShowMessage(QStringLiteral("Parameter Query Timeout!"));
    ortiva::ShowMessage(std::string("Data eeore"));  // no full stop for plain messages
    QCOMPARE(capture.Texts(), (QStringList{"!", "Parameter Query Timeout!", "Data eeore"}));
    for (const auto& m : capture.Messages()) QCOMPARE(m.kind, RecordedMessage::Kind::Plain);
}

void UnitsTest::guardedTurnsErrorsIntoReports_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("shown");
    QTest::newRow("conversion") << 0 << "'12a' is not a valid integer value.";
    QTest::newRow("input") << 1 << "Slave address: '1000' is outside 0 to 999.";
    QTest::newRow("serial port") << 2 << "Error opening serial port.";
    QTest::newRow("other std::exception") << 3 << "bad thing.";
    QTest::newRow("nothing thrown") << 4 << "";
}

void UnitsTest::guardedTurnsErrorsIntoReports()
{
    QFETCH(int, kind);
    QFETCH(QString, shown);
    MessageCapture capture;
    bool after = false;
    ortiva::Guarded([&] {
        switch (kind) {
        case 0: ortiva::StrToInt("12a"); break;
        case 1: ortiva::StrToIntInRange("1000", 0, 999, "Slave address"); break;
        case 2: throw ECommsError("Error opening serial port");
        case 3: throw std::runtime_error("bad thing");
        default: break;
        }
        after = true;
    });
    if (shown.isEmpty()) {
        QVERIFY(capture.Messages().empty());
        QVERIFY(after);
        return;
    }
    QVERIFY(!after);  // the handler stops where the error is raised
    QCOMPARE(capture.Texts(), QStringList{shown});
    QCOMPARE(capture.Messages().front().kind, RecordedMessage::Kind::Error);
}

void UnitsTest::nestedCapturesRestoreTheOuterOne()
{
    MessageCapture outer;
    {
        MessageCapture inner;
        ortiva::ShowMessage(QStringLiteral("inner"));
        QCOMPARE(inner.Texts(), QStringList{"inner"});
    }
    ortiva::ShowMessage(QStringLiteral("outer"));
    QCOMPARE(outer.Texts(), QStringList{"outer"});
    QCOMPARE(MessageCapture::Active(), &outer);
}

// ---- One-shot timer ----------------------------------------------------------
// The deadline checks compare remaining times with wide margins in the one
// direction a slow machine cannot disturb: waiting longer only makes a kept
// deadline come sooner.

void UnitsTest::timerFiresOnceAndIsDisabledWhenItsHandlerRuns()
{
    OneShotTimer timer(5);
    int runs = 0;
    bool enabledInHandler = true;
    timer.setHandler([&] {
        ++runs;
        enabledInHandler = timer.isEnabled();
    });
    timer.setEnabled(true);
    QVERIFY(timer.isEnabled());
    QTRY_COMPARE(runs, 1);
    QVERIFY(!enabledInHandler);
    QVERIFY(!timer.isEnabled());
    QTest::qWait(50);
    QCOMPARE(runs, 1);
}

void UnitsTest::enablingARunningTimerKeepsItsDeadline()
{
    OneShotTimer timer(10000);
    timer.setEnabled(true);
    QTest::qWait(300);
    timer.setEnabled(true);
    QVERIFY(timer.isEnabled());
    QVERIFY2(timer.remainingTime() <= 9800, "re-enabling restarted the timer");
}

void UnitsTest::sameIntervalKeepsTheDeadlineANewOneRestarts()
{
    OneShotTimer timer(10000);
    timer.setEnabled(true);
    QTest::qWait(300);
    timer.setInterval(10000);
    QVERIFY2(timer.remainingTime() <= 9800, "setting the same interval restarted the timer");
    timer.setInterval(20000);
    QCOMPARE(timer.interval(), 20000);
    QVERIFY2(timer.remainingTime() > 19000, "a new interval did not restart the timer");

    // A stopped timer only takes the interval over.
    OneShotTimer idle(1000);
    idle.setInterval(3000);
    QVERIFY(!idle.isEnabled());
    QCOMPARE(idle.remainingTime(), -1);
}

void UnitsTest::disablingStopsTheTimer()
{
    OneShotTimer timer(1);
    int runs = 0;
    timer.setHandler([&] { ++runs; });
    timer.setEnabled(true);
    timer.setEnabled(false);
    QTest::qWait(30);
    QCOMPARE(runs, 0);
}

void UnitsTest::timeScaleShrinksTheWaitNotTheInterval()
{
    OneShotTimer::SetTimeScale(0.001);
    OneShotTimer timer(3000);
    int runs = 0;
    timer.setHandler([&] { ++runs; });
    timer.setEnabled(true);
    QCOMPARE(timer.interval(), 3000);
    QTRY_COMPARE_WITH_TIMEOUT(runs, 1, 2000);  // 3 ms scaled, far below 3000 ms
    OneShotTimer::SetTimeScale(1.0);
}

// ---- Field sink ----------------------------------------------------------------

namespace {
// A small form with one control of each kind the sink handles.
struct SmallForm {
    std::unique_ptr<QWidget> form = std::make_unique<QWidget>();
    QComboBox* pick = nullptr;
    QComboBox* typable = nullptr;
    QLineEdit* edit = nullptr;
    QLabel* label = nullptr;
    QCheckBox* check = nullptr;
    SmallForm()
    {
        using namespace ortiva::build;
        List(pick, "pick", form.get(), Items({"a", "b", "c"}), 1, 0);
        TypableList(typable, "typable", form.get(), Items({"None", "Odd", "Even"}), 0, 5);
        Edit(edit, "edit", form.get(), QStringLiteral("x"), 4);
        Label(label, "label", form.get(), QStringLiteral("y"));
        Check(check, "check", form.get(), QStringLiteral("z"));
    }
};
}  // namespace

void UnitsTest::listIndexOutsideTheListClearsIt_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("text");
    QTest::newRow("pick inside") << "pick" << 2 << 2 << "c";
    QTest::newRow("pick past the end") << "pick" << 3 << -1 << "";
    QTest::newRow("pick negative") << "pick" << -1 << -1 << "";
    QTest::newRow("typable inside") << "typable" << 1 << 1 << "Odd";
    QTest::newRow("typable past the end") << "typable" << 9 << -1 << "";
}

void UnitsTest::listIndexOutsideTheListClearsIt()
{
    QFETCH(QString, name);
    QFETCH(int, index);
    QFETCH(int, expected);
    QFETCH(QString, text);
    SmallForm f;
    ortiva::FormFields fields(f.form.get());
    fields.SetIndex(name.toStdString(), index);
    auto* box = f.form->findChild<QComboBox*>(name);
    QCOMPARE(box->currentIndex(), expected);
    QCOMPARE(box->currentText(), text);
    QCOMPARE(fields.Index(name.toStdString()), expected);
}

void UnitsTest::textsAreOneCharacterPerByte()
{
    SmallForm f;
    ortiva::FormFields fields(f.form.get());
    const std::string bytes("A\xB0\xFF<b>", 6);  // reply bytes, markup included, are shown as they are
    fields.SetText("edit", bytes);
    fields.SetText("label", bytes);
    QCOMPARE(f.edit->text(), QString::fromLatin1(bytes.data(), 6));
    QCOMPARE(f.label->text().size(), 6);
    QCOMPARE(fields.Text("edit"), bytes);
    QCOMPARE(fields.Text("label"), bytes);

    fields.SetChecked("check", true);
    QVERIFY(f.check->isChecked());
    f.form->show();
    fields.SetVisible("label", false);
    QVERIFY(f.label->isHidden());
}

void UnitsTest::unknownControlsAreProgrammingErrors()
{
    SmallForm f;
    ortiva::FormFields fields(f.form.get());
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, fields.SetText("Edit99", "1"));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, fields.SetIndex("edit", 0));        // not a list
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, fields.SetChecked("label", true));  // not a check box
}

void UnitsTest::typedTextLeavesNoSelection()
{
    SmallForm f;
    f.form->show();
    f.typable->lineEdit()->setFocus();
    f.typable->lineEdit()->end(false);
    QTest::keyClicks(f.typable->lineEdit(), "X");
    QCOMPARE(f.typable->currentIndex(), -1);
    QCOMPARE(f.typable->currentText(), QStringLiteral("NoneX"));
    QTest::keyClick(f.typable->lineEdit(), Qt::Key_Return);  // Enter adds no item
    QCOMPARE(f.typable->count(), 3);
}

// ---- Pictures ------------------------------------------------------------------

namespace {
QByteArray Resource(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ortiva::DecodedPicture Decode(const QByteArray& data)
{
    return ortiva::DecodeJpeg({reinterpret_cast<const uint8_t*>(data.constData()), static_cast<size_t>(data.size())});
}
}  // namespace

void UnitsTest::bundledPicturesDecode_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::newRow("logo") << ":/pictures/logo.jpg" << QSize(105, 41);
    QTest::newRow("2-wire") << ":/pictures/wiring_2wire.jpg" << QSize(577, 337);
    QTest::newRow("4-wire") << ":/pictures/wiring_4wire.jpg" << QSize(577, 329);
}

void UnitsTest::bundledPicturesDecode()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    const ortiva::DecodedPicture picture = Decode(Resource(path));
    QCOMPARE(QSize(picture.width, picture.height), size);
    QCOMPARE(picture.rgb.size(), size_t(size.width()) * size.height() * 3);
    // Painted on white: the top left corner is (nearly) white after compression.
    QVERIFY(picture.rgb[0] > 230 && picture.rgb[1] > 230 && picture.rgb[2] > 230);
    QCOMPARE(ortiva::LoadJpegPicture(path).size(), size);
}

void UnitsTest::damagedPicturesDecodeEmpty_data()
{
    const QByteArray good = Resource(QStringLiteral(":/pictures/wiring_2wire.jpg"));
    QVERIFY(good.size() > 1000);
    // Where the compressed picture data starts: after the start-of-scan segment.
    const qsizetype sos = good.indexOf(QByteArray("\xFF\xDA", 2));
    QVERIFY(sos > 0);

    QTest::addColumn<QByteArray>("data");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not a JPEG") << QByteArray("GIF89a and some more bytes than four");
    QTest::newRow("only the start marker") << good.left(2);
    QTest::newRow("cut in the headers") << good.left(sos / 2);
    QTest::newRow("cut after the headers") << good.left(sos + 20);
    QTest::newRow("cut half way") << good.left(good.size() / 2);
    QTest::newRow("cut before the end marker") << good.left(good.size() - 2);
    QByteArray marker = good;
    marker.replace(good.size() / 2, 2, QByteArray("\xFF\xD9", 2));  // an end marker in the middle of the data
    QTest::newRow("end marker inside the data") << marker;
    QByteArray frame = good;
    const qsizetype sof = good.indexOf(QByteArray("\xFF\xC0", 2));
    QVERIFY(sof > 0);
    frame[sof + 5] = 0;  // height 0
    frame[sof + 6] = 0;
    QTest::newRow("zero height") << frame;
    QByteArray table = good;
    const qsizetype dht = good.indexOf(QByteArray("\xFF\xC4", 2));
    QVERIFY(dht > 0);
    for (int i = 5; i < 21; ++i) table[dht + i] = char(0xFF);  // impossible Huffman code counts
    QTest::newRow("bad Huffman table") << table;
}

void UnitsTest::damagedPicturesDecodeEmpty()
{
    QFETCH(QByteArray, data);
    const ortiva::DecodedPicture picture = Decode(data);
    QVERIFY(picture.empty());
    QCOMPARE(picture.width, 0);
}

void UnitsTest::missingPictureGivesNullPixmap()
{
    QVERIFY(ortiva::LoadJpegPicture(QStringLiteral(":/pictures/none.jpg")).isNull());
}

QTEST_MAIN(UnitsTest)
#include "units_test.moc"
