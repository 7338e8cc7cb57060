// Tools -> "Live Values": what the control system reads from the module, live.
// Reads each device's output formats from its record (the device query,
// decoded by the shared profile plan), then polls the published holding
// registers (function 3, the module's slave address) device by device and
// shows every quantity decoded in its device's format beside the raw
// registers, with a trend of one device's quantities and a CSV export.
//
// It shares Comm1 with the window's own exchanges: an exchange of its own
// goes out only while the window has none pending (no parse tick, reply
// timeout or delayed close running, no File menu plan), its replies never
// reach the window's receive path, and a window frame sent while one of its
// polls is on the line waits for that poll's reply (or its short timeout)
// and then goes first.
#pragma once

#include <QDateTime>
#include <QWidget>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QTimer>

#include "exchange_rules.h"
#include "published_registers.h"

class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QLineSeries;
class QPushButton;
class QSpinBox;
class QTableWidget;
class TForm1;

namespace ortiva {

class LiveValuesWindow : public QWidget {
    Q_OBJECT
public:
    explicit LiveValuesWindow(TForm1* form);

    // ---- Controls (objectName as named) -----------------------------------
    QTableWidget* Table;      // "LiveTable": 25 rows, device x quantity
    QSpinBox* Interval;       // "LiveInterval", ms between sweeps of the five devices
    QPushButton* StartPause;  // "LiveStartPause"
    QComboBox* TrendDevice;   // "LiveTrendDevice"
    QChartView* Trend;        // "LiveTrend"
    QPushButton* ExportCsv;   // "LiveExportCsv"
    QLabel* Status;           // "LiveStatus"
    // The CSV file for "Export CSV…", "" for none: a file dialog (replaceable for tests).
    std::function<QString()> ChooseCsvFile;

    bool Running() const { return running_; }
    // One of its exchanges is on the line: Comm1's chunks are its own.
    bool InFlight() const { return inFlight_; }
    void TakeChunk(const uint8_t* bytes, size_t length);
    // A window frame that waits for the exchange on the line; sent once it ends.
    void SendAfterExchange(std::function<void()> send);

    // One sweep: a value per quantity of the five devices (nullopt: no reply).
    struct Sample {
        QDateTime time;  // UTC, at the sweep's last reply
        std::array<std::array<std::optional<PublishedValue>, kPublishedQuantities>, kPublishedDevices> values;
    };
    const std::deque<Sample>& Samples() const { return samples_; }
    // The CSV text of the samples kept (RFC 4180): "time" (ISO 8601 UTC) and
    // a column per quantity, named "device 0 current (40001, float ABCD)"
    // (quoted, for its comma); an empty field where a device did not answer.
    QString CsvText() const;

    void Start();
    void Pause();
    void Export();

private:
    struct Exchange {
        Command command;
        bool modbus = false;  // ends at its byte count and CRC; else after a silence
        std::function<void(const std::vector<uint8_t>& reply)> done;  // empty reply: none came
    };
    void Tick();
    void Send(Exchange exchange);
    void End();
    bool WindowIdle() const;
    void ReadFormats();
    void Poll(int device);
    void ShowDevice(int device, const std::array<std::optional<PublishedValue>, kPublishedQuantities>& values);
    void UpdateTrend();
    void closeEvent(QCloseEvent* event) override;

    TForm1* form_;
    QTimer tick_;
    QTimer silence_;
    QTimer deadline_;
    bool running_ = false;
    bool inFlight_ = false;
    std::optional<Exchange> current_;
    std::vector<uint8_t> reply_;
    std::vector<std::function<void()>> waiting_;  // window frames held back by an exchange on the line
    // What the device records said, once read.
    bool formatsKnown_ = false;
    int readingFormats_ = -1;  // next step of the format read, -1 when none runs
    uint8_t slave_ = 1;
    std::array<std::array<RegisterFormat, kPublishedQuantities>, kPublishedDevices> formats_{};
    int nextDevice_ = 0;
    Sample sweep_;
    std::deque<Sample> samples_;
    std::array<QLineSeries*, kPublishedQuantities> series_{};
    QChart* chart_ = nullptr;
};

}  // namespace ortiva
