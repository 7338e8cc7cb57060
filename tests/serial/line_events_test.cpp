// Line error and modem counters turned into the flags the events carry.
#include "posix_line.h"

#include <gtest/gtest.h>

namespace {

using ortiva::LineCounters;

TEST(CommLineEvents, CounterChangesBecomeErrorFlagsAndModemBits)
{
    const struct {
        const char* what;
        void (*change)(LineCounters&);
        uint32_t errors;
        uint32_t modem;
    } cases[] = {
        {"nothing", [](LineCounters&) {}, 0, 0},
        {"framing", [](LineCounters& c) { c.Frame += 3; }, CE_FRAME, 0},
        {"overrun", [](LineCounters& c) { ++c.Overrun; }, CE_OVERRUN, 0},
        {"parity", [](LineCounters& c) { ++c.Parity; }, CE_RXPARITY, 0},
        {"break", [](LineCounters& c) { ++c.Break; }, CE_BREAK, 0},
        {"queue overflow", [](LineCounters& c) { ++c.BufferOverrun; }, CE_RXOVER, 0},
        {"carrier", [](LineCounters& c) { ++c.CarrierDetect; }, 0, 8},
        {"ring", [](LineCounters& c) { ++c.Ring; }, 0, 4},
        {"carrier and ring", [](LineCounters& c) { ++c.Ring, ++c.CarrierDetect; }, 0, 12},
        {"framing with a break", [](LineCounters& c) { ++c.Frame, ++c.Break; }, CE_FRAME | CE_BREAK, 0},
        {"counter wrapped", [](LineCounters& c) { c.Parity = 0; }, CE_RXPARITY, 0},
    };
    LineCounters before;
    before.Parity = 0xFFFFFFFF;
    for (const auto& c : cases) {
        LineCounters after = before;
        c.change(after);
        const ortiva::LineEvents events = ortiva::LineEventsBetween(before, after);
        EXPECT_EQ(events.Errors, c.errors) << c.what;
        EXPECT_EQ(events.Modem, c.modem) << c.what;
    }
}

}  // namespace
