#include "live_values.h"

#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include <cmath>
#include <limits>

#include "choice_lists.h"
#include "crc16.h"
#include "messages.h"
#include "modbus_test.h"
#include "one_shot_timer.h"
#include "plan_runner.h"
#include "plans.h"
#include "safe_file.h"
#include "tcomm.h"
#include "tform1.h"

namespace ortiva {

namespace {

constexpr int kKeepSeconds = 300;    // the trend's span, and the samples kept for the CSV
constexpr int kPollTimeoutMs = 500;  // a MODBUS reply of 25 bytes takes 26 ms at 9600 baud
constexpr int kRecordTimeoutMs = 3000;
constexpr int kSilenceMs = 50;  // ends a device record's reply, as for the File menu
constexpr const char* kFormatKeys[kPublishedQuantities] = {"current_format", "variable1_format", "variable2_format",
                                                           "variable3_format", "variable4_format"};

QString Q(const std::string& s) { return QString::fromStdString(s); }

// A MODBUS reply is complete at its byte count (or as an exception) and its CRC.
bool ModbusReplyComplete(const std::vector<uint8_t>& r)
{
    if (r.size() < 5) return false;
    const size_t size = (r[1] & 0x80) ? 5 : 3 + size_t{r[2]} + 2;
    return r.size() >= size;
}

}  // namespace

LiveValuesWindow::LiveValuesWindow(TForm1* form) : QWidget(form, Qt::Window), form_(form)
{
    setObjectName(QStringLiteral("LiveValues"));
    setWindowTitle(QStringLiteral("Live Values"));
    setAttribute(Qt::WA_QuitOnClose, false);

    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel(QStringLiteral("Interval:")));
    Interval = new QSpinBox;
    Interval->setObjectName(QStringLiteral("LiveInterval"));
    Interval->setRange(100, 60000);
    Interval->setSingleStep(100);
    Interval->setValue(1000);
    Interval->setSuffix(QStringLiteral(" ms"));
    bar->addWidget(Interval);
    StartPause = new QPushButton(QStringLiteral("Start"));
    StartPause->setObjectName(QStringLiteral("LiveStartPause"));
    bar->addWidget(StartPause);
    ExportCsv = new QPushButton(QStringLiteral("Export CSV\u2026"));
    ExportCsv->setObjectName(QStringLiteral("LiveExportCsv"));
    bar->addWidget(ExportCsv);
    Status = new QLabel;
    Status->setObjectName(QStringLiteral("LiveStatus"));
    bar->addWidget(Status, 1);
    layout->addLayout(bar);

    Table = new QTableWidget(kPublishedDevices * kPublishedQuantities, 6);
    Table->setObjectName(QStringLiteral("LiveTable"));
    Table->setHorizontalHeaderLabels({QStringLiteral("Device"), QStringLiteral("Quantity"), QStringLiteral("Register"),
                                      QStringLiteral("Format"), QStringLiteral("Value"), QStringLiteral("Raw")});
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->verticalHeader()->setVisible(false);
    Table->verticalHeader()->setDefaultSectionSize(Table->fontMetrics().height() + 4);
    for (int d = 0; d < kPublishedDevices; ++d)
        for (int q = 0; q < kPublishedQuantities; ++q) {
            const int row = d * kPublishedQuantities + q;
            Table->setItem(row, 0, new QTableWidgetItem(QString::number(d)));
            Table->setItem(row, 1, new QTableWidgetItem(Q(std::string(QuantityName(q)))));
            Table->setItem(row, 2, new QTableWidgetItem(QString::number(FirstRegisterOf(d) + 2 * q)));
            for (int c = 3; c < 6; ++c) Table->setItem(row, c, new QTableWidgetItem);
            Table->item(row, 4)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
    Table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    Table->horizontalHeader()->setStretchLastSection(true);
    // Room for the widest texts a row can hold, so that no column scrolls away.
    Table->setMinimumWidth(Table->fontMetrics().horizontalAdvance(
                               QStringLiteral("Device variable 4 Register abs uint32 CDAB -1.234567e+09 FFFF FFFF")) +
                           6 * 14 + Table->verticalScrollBar()->sizeHint().width() + 2 * Table->frameWidth());

    auto* trendBox = new QVBoxLayout;
    auto* trendBar = new QHBoxLayout;
    trendBar->addWidget(new QLabel(QStringLiteral("Trend of device:")));
    TrendDevice = new QComboBox;
    TrendDevice->setObjectName(QStringLiteral("LiveTrendDevice"));
    for (int d = 0; d < kPublishedDevices; ++d) TrendDevice->addItem(QString::number(d));
    trendBar->addWidget(TrendDevice);
    trendBar->addStretch(1);
    trendBox->addLayout(trendBar);
    chart_ = new QChart;
    chart_->legend()->setAlignment(Qt::AlignBottom);
    auto* x = new QDateTimeAxis;
    x->setFormat(QStringLiteral("hh:mm:ss"));
    x->setTickCount(4);
    auto* y = new QValueAxis;
    chart_->addAxis(x, Qt::AlignBottom);
    chart_->addAxis(y, Qt::AlignLeft);
    for (int q = 0; q < kPublishedQuantities; ++q) {
        series_[q] = new QLineSeries;
        series_[q]->setName(Q(std::string(QuantityName(q))));
        chart_->addSeries(series_[q]);
        series_[q]->attachAxis(x);
        series_[q]->attachAxis(y);
    }
    // A click on a legend entry hides or shows its quantity, so that small
    // values are not flattened by a large one sharing the axis.
    for (QLegendMarker* marker : chart_->legend()->markers())
        connect(marker, &QLegendMarker::clicked, this, [this, marker] {
            marker->series()->setVisible(!marker->series()->isVisible());
            marker->setVisible(true);
            marker->setLabelBrush(marker->series()->isVisible() ? palette().text() : palette().mid());
            UpdateTrend();
        });
    chart_->setMargins(QMargins(4, 4, 4, 4));
    Trend = new QChartView(chart_);
    Trend->setObjectName(QStringLiteral("LiveTrend"));
    Trend->setRenderHint(QPainter::Antialiasing);
    Trend->setMinimumHeight(200);
    trendBox->addWidget(Trend, 1);

    auto* body = new QHBoxLayout;
    body->addWidget(Table);
    body->addLayout(trendBox, 1);
    layout->addLayout(body, 1);
    // Its own size where the screen has room, else the room there is.
    QSize size(1150, 560);
    if (const QScreen* where = form->screen()) size = size.boundedTo(where->availableGeometry().size() - QSize(40, 80));
    resize(size);

    connect(StartPause, &QPushButton::clicked, this, [this] { Guarded([this] { running_ ? Pause() : Start(); }); });
    connect(ExportCsv, &QPushButton::clicked, this, [this] { Guarded([this] { Export(); }); });
    connect(TrendDevice, &QComboBox::currentIndexChanged, this, [this] { UpdateTrend(); });
    ChooseCsvFile = [this] {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Export CSV"), {},
                                            QStringLiteral("CSV files (*.csv);;All files (*)"));
    };

    tick_.setInterval(20);
    connect(&tick_, &QTimer::timeout, this, [this] { Guarded([this] { Tick(); }); });
    silence_.setSingleShot(true);
    deadline_.setSingleShot(true);
    connect(&silence_, &QTimer::timeout, this, [this] { End(); });
    connect(&deadline_, &QTimer::timeout, this, [this] {
        reply_.clear();  // a reply not complete by now counts as none
        End();
    });
    Status->setText(QStringLiteral("Paused"));
}

bool LiveValuesWindow::WindowIdle() const
{
    // A reply timeout or parse tick running means the window's exchange is
    // still open; its PendingCode alone, once both have ended, does not
    // (the MODBUS test and the system query keep theirs after their reply).
    return form_->Exchange.PortOpen && !form_->Timer2->isEnabled() && !form_->Timer3->isEnabled() &&
           !form_->Timer4->isEnabled() && !(form_->Runner && form_->Runner->Busy()) && waiting_.empty();
}

void LiveValuesWindow::Start()
{
    running_ = true;
    formatsKnown_ = false;
    readingFormats_ = 0;
    nextDevice_ = 0;
    sweep_ = {};
    StartPause->setText(QStringLiteral("Pause"));
    Status->setText(QStringLiteral("Reading the device records\u2026"));
    tick_.start();
}

void LiveValuesWindow::Pause()
{
    running_ = false;
    tick_.stop();
    StartPause->setText(QStringLiteral("Start"));
    Status->setText(QStringLiteral("Paused"));
}

void LiveValuesWindow::closeEvent(QCloseEvent* event)
{
    Pause();
    QWidget::closeEvent(event);
}

void LiveValuesWindow::Tick()
{
    if (!running_ || inFlight_) return;
    if (!WindowIdle()) return;
    if (!formatsKnown_) {
        ReadFormats();
        return;
    }
    // A sweep goes device after device; the next one waits for the interval.
    if (nextDevice_ == 0 && !samples_.empty() &&
        samples_.back().time.msecsTo(QDateTime::currentDateTimeUtc()) < Interval->value())
        return;
    Poll(nextDevice_);
}

void LiveValuesWindow::ReadFormats()
{
    using profile::ReadSet;
    static const std::vector<profile::ReadStep> plan =
        profile::ReadPlan(ReadSet{.header = false, .system = true, .coefficients = false, .slotNumbers = {}});
    const profile::ReadStep& step = plan[static_cast<size_t>(readingFormats_)];
    Send({step.command, false, [this, step](const std::vector<uint8_t>& reply) {
              if (reply.empty()) {
                  Status->setText(QStringLiteral("No reply to %1; trying again").arg(Q(step.what)));
                  return;
              }
              profile::Profile p;
              try {
                  profile::TakeReply(step, reply, p);
              } catch (const std::exception& e) {
                  Status->setText(QString::fromLocal8Bit(e.what()));
                  return;
              }
              if (step.query == profile::ReadStep::Query::System) {
                  slave_ = static_cast<uint8_t>(std::stoi(p.values.at("system.modbus_slave_address")));
              } else {
                  for (int q = 0; q < kPublishedQuantities; ++q) {
                      const std::string key = "devices[" + std::to_string(step.index) + "]." + kFormatKeys[q];
                      const int code = profile::ItemIndex(kOutputFormatItems, p.values.at(key));
                      formats_[step.index][q] = FormatOfCode(code).value_or(RegisterFormat{});
                  }
              }
              if (++readingFormats_ < static_cast<int>(plan.size())) return;
              formatsKnown_ = true;
              readingFormats_ = -1;
              for (int d = 0; d < kPublishedDevices; ++d)
                  for (int q = 0; q < kPublishedQuantities; ++q)
                      Table->item(d * kPublishedQuantities + q, 3)->setText(Q(FormatName(formats_[d][q])));
              Status->setText(QStringLiteral("Polling slave address %1").arg(slave_));
          }});
}

void LiveValuesWindow::Poll(int device)
{
    const std::array<uint8_t, 8> request = ReadHoldingRegistersRequest(
        slave_, static_cast<uint8_t>(FirstAddressOf(device)), static_cast<uint8_t>(kRegistersPerDevice));
    Command command;
    command.bytes.assign(request.begin(), request.end());
    Send({command, true, [this, device](const std::vector<uint8_t>& r) {
              std::array<std::optional<PublishedValue>, kPublishedQuantities> values{};
              const bool ok = r.size() == 3 + 2 * size_t{kRegistersPerDevice} + 2 && r[1] == kReadHoldingRegisters &&
                              ModbusCrc16(std::span(r).first(r.size() - 2)) == (r[r.size() - 2] | r.back() << 8);
              if (ok) {
                  std::array<uint16_t, kRegistersPerDevice> regs{};
                  for (size_t i = 0; i < regs.size(); ++i)
                      regs[i] = static_cast<uint16_t>(r[3 + 2 * i] << 8 | r[4 + 2 * i]);
                  const auto decoded = DecodeDevice(device, regs, formats_[device]);
                  for (int q = 0; q < kPublishedQuantities; ++q) values[q] = decoded[q];
                  Status->setText(QStringLiteral("Polling slave address %1").arg(slave_));
              } else {
                  Status->setText(
                      QStringLiteral("Device %1: %2")
                          .arg(device)
                          .arg(r.empty() ? QStringLiteral("no reply") : QStringLiteral("a reply that cannot be read")));
              }
              ShowDevice(device, values);
              sweep_.values[device] = values;
              if (++nextDevice_ < kPublishedDevices) return;
              nextDevice_ = 0;
              sweep_.time = QDateTime::currentDateTimeUtc();
              samples_.push_back(sweep_);
              while (samples_.front().time.secsTo(sweep_.time) > kKeepSeconds) samples_.pop_front();
              UpdateTrend();
          }});
}

void LiveValuesWindow::ShowDevice(int device,
                                  const std::array<std::optional<PublishedValue>, kPublishedQuantities>& values)
{
    for (int q = 0; q < kPublishedQuantities; ++q) {
        const int row = device * kPublishedQuantities + q;
        Table->item(row, 4)->setText(values[q] ? Q(values[q]->Text()) : QStringLiteral("\u2014"));
        Table->item(row, 5)->setText(values[q] ? Q(values[q]->RawText()) : QString());
    }
}

void LiveValuesWindow::UpdateTrend()
{
    const int d = TrendDevice->currentIndex();
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (int q = 0; q < kPublishedQuantities; ++q) {
        QList<QPointF> points;
        for (const Sample& s : samples_)
            if (const auto& v = s.values[d][q]; v && std::isfinite(v->value)) {
                points.append(QPointF(double(s.time.toMSecsSinceEpoch()), v->value));
                if (!series_[q]->isVisible()) continue;
                lo = std::min(lo, v->value);
                hi = std::max(hi, v->value);
            }
        series_[q]->replace(points);
    }
    if (samples_.empty()) return;
    chart_->axes(Qt::Horizontal)
        .first()
        ->setRange(samples_.front().time.toLocalTime(), samples_.back().time.toLocalTime().addMSecs(1));
    if (lo <= hi) {
        const double pad = hi > lo ? (hi - lo) * 0.05 : std::max(1.0, std::abs(hi) * 0.05);
        chart_->axes(Qt::Vertical).first()->setRange(lo - pad, hi + pad);
    }
}

void LiveValuesWindow::Send(Exchange exchange)
{
    current_ = std::move(exchange);
    reply_.clear();
    inFlight_ = true;
    deadline_.start(current_->modbus ? kPollTimeoutMs : kRecordTimeoutMs);
    form_->Comm1->SendData(current_->command.bytes.data(), static_cast<uint16_t>(current_->command.bytes.size()));
}

void LiveValuesWindow::TakeChunk(const uint8_t* bytes, size_t length)
{
    if (!inFlight_) return;
    reply_.insert(reply_.end(), bytes, bytes + length);
    if (current_->modbus) {
        if (ModbusReplyComplete(reply_)) End();
    } else {
        silence_.start(kSilenceMs);
    }
}

void LiveValuesWindow::SendAfterExchange(std::function<void()> send) { waiting_.push_back(std::move(send)); }

void LiveValuesWindow::End()
{
    if (!inFlight_) return;
    silence_.stop();
    deadline_.stop();
    inFlight_ = false;
    Exchange done = std::move(*current_);
    current_.reset();
    const std::vector<uint8_t> reply = std::move(reply_);
    reply_.clear();
    Guarded([&] { done.done(reply); });
    // The window's frames that waited go now, in order, before any poll.
    std::vector<std::function<void()>> waiting;
    waiting.swap(waiting_);
    for (auto& send : waiting) Guarded([&] { send(); });
}

QString LiveValuesWindow::CsvText() const
{
    QStringList header{QStringLiteral("time")};
    for (int d = 0; d < kPublishedDevices; ++d)
        for (int q = 0; q < kPublishedQuantities; ++q) header << Q(CsvField(CsvColumnName(d, q, formats_[d][q])));
    const QString end = QString::fromLatin1(kCsvLineEnd);
    QString out = header.join(QLatin1Char(',')) + end;
    for (const Sample& s : samples_) {
        QStringList row{s.time.toString(Qt::ISODateWithMs)};
        for (int d = 0; d < kPublishedDevices; ++d)
            for (int q = 0; q < kPublishedQuantities; ++q)
                row << (s.values[d][q] ? Q(CsvField(s.values[d][q]->Text())) : QString());
        out += row.join(QLatin1Char(',')) + end;
    }
    return out;
}

void LiveValuesWindow::Export()
{
    const QString path = ChooseCsvFile();
    if (path.isEmpty()) return;
    try {
        WriteFileWhole(path.toStdString(), CsvText().toStdString());
    } catch (const Failure& e) {
        ShowErrorReport(QString::fromStdString(e.what()));
        return;
    }
    Status->setText(QStringLiteral("%1 samples written to %2").arg(samples_.size()).arg(path));
}

}  // namespace ortiva
