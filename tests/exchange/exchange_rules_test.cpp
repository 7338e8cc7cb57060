#include <gtest/gtest.h>

#include "exchange_rules.h"

using namespace ortiva;

TEST(ExchangeRules, ReceivePlanPerPendingCode)
{
    struct Row {
        int code;
        BufferView view;
        bool tick;
        bool clear;
    };
    const Row rows[] = {
        {0, BufferView::Text, false, true},   {100, BufferView::Hex, true, false},
        {103, BufferView::Hex, true, false},  {104, BufferView::Hex, false, false},
        {106, BufferView::Hex, false, false}, {200, BufferView::Text, false, true},
        {201, BufferView::Text, true, false}, {202, BufferView::Text, true, false},
        {301, BufferView::Text, true, false}, {302, BufferView::Hex, false, false},
        {501, BufferView::Text, true, false}, {999, BufferView::Text, false, true},
    };
    for (const auto& r : rows) {
        auto p = PlanReceive(r.code);
        EXPECT_EQ(p.view, r.view) << r.code;
        EXPECT_EQ(p.startParseTick, r.tick) << r.code;
        EXPECT_EQ(p.clearPending, r.clear) << r.code;
    }
}

TEST(ExchangeRules, TickPlanPerPendingCode)
{
    struct Row {
        int code;
        Decoder decoder;
        bool clearPending, clearKind, stopTimer;
    };
    const Row rows[] = {
        {100, Decoder::HartDevice, true, false, true},     {103, Decoder::HartVariables, true, false, true},
        {201, Decoder::CommQuery, true, true, false},      {202, Decoder::SystemParams, false, false, false},
        {301, Decoder::ModbusParams, false, false, false}, {501, Decoder::Monitoring, false, false, false},
        {0, Decoder::None, false, false, false},           {104, Decoder::None, false, false, false},
        {200, Decoder::None, false, false, false},         {302, Decoder::None, false, false, false},
    };
    for (const auto& r : rows) {
        auto p = PlanTick(r.code);
        EXPECT_EQ(p.decoder, r.decoder) << r.code;
        EXPECT_EQ(p.clearPending, r.clearPending) << r.code;
        EXPECT_EQ(p.clearTimeoutKind, r.clearKind) << r.code;
        EXPECT_EQ(p.stopReplyTimer, r.stopTimer) << r.code;
    }
}

TEST(ExchangeRules, TimeoutReports)
{
    auto k1 = PlanTimeout(1);
    EXPECT_FALSE(k1.setLabel68);
    EXPECT_EQ(k1.message, "Connection timed out!");
    auto k2 = PlanTimeout(2);
    EXPECT_TRUE(k2.setLabel68);
    EXPECT_EQ(k2.label68, "");
    EXPECT_EQ(k2.message, "Parameter Query Timeout!");
    auto k3 = PlanTimeout(3);
    EXPECT_TRUE(k3.setLabel68);
    EXPECT_EQ(k3.label68, "Set timeout");
    EXPECT_EQ(k3.message, "!");
    EXPECT_EQ(PlanTimeout(0).message, "");
}

TEST(ExchangeRules, ChunksAreStoredWithinTheirRoom)
{
    ExchangeState s;
    std::vector<uint8_t> longChunk(2048);
    for (size_t i = 0; i < longChunk.size(); ++i) longChunk[i] = uint8_t(i);
    StoreChunk(s, longChunk);
    EXPECT_EQ(s.RxText.size(), 255u);
    EXPECT_EQ(uint8_t(s.RxText[254]), 254);
    EXPECT_EQ(s.RxBytes[403], uint8_t(403));

    const uint8_t shortChunk[] = {0x0D, 0xFF};
    StoreChunk(s, shortChunk);
    EXPECT_EQ(s.RxText, std::string("\x0D\xFF", 2));
    EXPECT_EQ(s.RxBytes[2], 2) << "bytes past the chunk keep the earlier chunk's";
    EXPECT_EQ(ReceiveBufferText(s, BufferView::Hex), "0D FF ") << "hex text covers only the current chunk";
    EXPECT_EQ(ReceiveBufferText(s, BufferView::Text), s.RxText);

    const uint8_t withZero[] = {'A', 0, 'B'};
    StoreChunk(s, withZero);
    EXPECT_EQ(s.RxText.size(), 3u);
}

TEST(ExchangeRules, TxFrameHoldsTheFrameFromIndexZero)
{
    ExchangeState s;
    const std::string a = "QQS#RESET#";
    EXPECT_EQ(PlaceInTxFrame(s, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(a.data()), a.size())), a);
    const uint8_t b[] = {'Q', 'Q'};
    EXPECT_EQ(PlaceInTxFrame(s, b), "QQ");
    EXPECT_EQ(s.TxFrame[2], 'S') << "what a longer command left behind stays, and is ignored";
}
