#include <gtest/gtest.h>

#include <vector>

#include "hart_decoders.h"
#include "recording_sink.h"

using namespace ortiva;
using ortiva::RecordingSink;

namespace {

using Bytes = std::vector<uint8_t>;

void AppendChecksum(Bytes& r, size_t from)
{
    uint8_t cs = 0;
    for (size_t i = from; i < r.size(); ++i) cs ^= r[i];
    r.push_back(cs);
}

// A command 0 reply as a HART slave sends it (byte count 14).
Bytes IdentityReply(int preambles, uint8_t manufacturer, uint8_t type, uint8_t required, Bytes id, uint8_t response = 0)
{
    Bytes r(static_cast<size_t>(preambles), 0xFF);
    const size_t start = r.size();
    const Bytes body = {0x06,     0x80, 0x00, 0x0E, response, 0x00, 0xFE,  manufacturer, type,
                        required, 0x05, 0x01, 0x01, 0x08,     0x00, id[0], id[1],        id[2]};
    r.insert(r.end(), body.begin(), body.end());
    AppendChecksum(r, start);
    return r;
}

struct Variable {
    uint8_t unit;
    Bytes value;
};

// A command 3 reply with the loop current and `vars` variables.
Bytes VariablesReply(int preambles, const std::vector<Variable>& vars, uint8_t response = 0)
{
    Bytes r(static_cast<size_t>(preambles), 0xFF);
    const size_t start = r.size();
    const Bytes head = {0x86,     0xA6, 0x06, 0x12, 0x34, 0x56, 0x03, static_cast<uint8_t>(6 + 5 * vars.size()),
                        response, 0x00, 0x41, 0x60, 0x00, 0x00};
    r.insert(r.end(), head.begin(), head.end());
    for (const auto& v : vars) {
        r.push_back(v.unit);
        r.insert(r.end(), v.value.begin(), v.value.end());
    }
    AppendChecksum(r, start);
    return r;
}

const std::vector<Variable> kFourVariables = {
    {32, {0x41, 0x48, 0x00, 0x00}},   // 12.5 degC
    {61, {0xC2, 0xF6, 0xE9, 0x79}},   // -123.456 kg
    {77, {0x7F, 0xA0, 0x00, 0x00}},   // HART not-a-number
    {250, {0x3F, 0x8C, 0xCC, 0xCD}},  // 1.1, unknown unit
};

RecordingSink SinkWithOldSlots()
{
    RecordingSink s;
    for (const char* list : {"ComboBox3", "ComboBox31", "ComboBox32", "ComboBox33"}) s.listSizes[list] = 77;
    s.listSizes["ComboBox27"] = 9;
    for (const auto& slot : kHartSlots) {
        s.text[slot.valueEdit] = "old";
        s.text[slot.mirrorLabel] = "old";
        s.index[slot.unitList] = 5;
    }
    s.writes.clear();
    return s;
}

}  // namespace

TEST(HartDecoders, IdentityReplyExample)
{
    Bytes reply = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x06, 0x80, 0x00, 0x0E, 0x00, 0x00, 0xFE,
                   0x26, 0x06, 0x05, 0x05, 0x01, 0x01, 0x08, 0x00, 0x12, 0x34, 0x56};
    AppendChecksum(reply, 5);
    EXPECT_EQ(FindHartReply(reply, 0x06), 4u);

    RecordingSink out = SinkWithOldSlots();
    HartIdentity h;
    h.PollAddress = 3;
    DecodeHartIdentityReply(reply, h, out);
    EXPECT_EQ(out.text["Edit28"], "38");
    EXPECT_EQ(out.text["Edit29"], "6");
    EXPECT_EQ(out.text["Edit31"], "5");
    EXPECT_EQ(out.text["Edit32"], "1193046");
    EXPECT_EQ(out.Index("ComboBox27"), 3);
    EXPECT_EQ(h.DeviceId, (std::array<uint8_t, 3>{0x12, 0x34, 0x56}));

    // The same reply marked as a long frame is not an identity reply.
    reply[5] = 0x86;
    DecodeHartIdentityReply(reply, h, out);
    for (const char* e : kHartIdentityEdits) EXPECT_EQ(out.text[e], "") << e;
    EXPECT_EQ(h.ManufacturerId, 0x26);  // kept
}

TEST(HartDecoders, IdentityWithPreamblesNoiseAndErrors)
{
    struct Row {
        const char* name;
        Bytes chunk;
        bool applied;
    };
    const Bytes id = {0xAB, 0xCD, 0xEF};
    const Bytes noise = {0x00, 0xFF, 0x02, 0xFF, 0x86, 0x13};  // no 0xFF 0x06 pair in it
    Bytes noisy = noise;
    const Bytes good20 = IdentityReply(20, 0x45, 0x99, 20, id);
    noisy.insert(noisy.end(), good20.begin(), good20.end());
    const Row rows[] = {
        {"2 preambles", IdentityReply(2, 0x45, 0x99, 20, id), true},
        {"5 preambles", IdentityReply(5, 0x45, 0x99, 20, id), true},
        {"20 preambles", good20, true},
        {"leading noise", noisy, true},
        {"error reply of full length", IdentityReply(5, 0x45, 0x99, 20, id, 0x40), true},
        {"short error reply", {0xFF, 0xFF, 0x06, 0x80, 0x00, 0x02, 0x40, 0x00, 0xC4}, false},
        {"four bytes", {0xFF, 0x06, 0x80, 0x00}, false},
        {"nothing", {}, false},
    };
    for (const auto& r : rows) {
        RecordingSink out = SinkWithOldSlots();
        out.text["Edit28"] = "stale";
        HartIdentity h;
        h.PollAddress = 12;  // no such item in ComboBox27
        DecodeHartIdentityReply(r.chunk, h, out);
        if (r.applied) {
            EXPECT_EQ(out.text["Edit28"], "69") << r.name;
            EXPECT_EQ(out.text["Edit29"], "153") << r.name;
            EXPECT_EQ(out.text["Edit31"], "20") << r.name;
            EXPECT_EQ(out.text["Edit32"], "11259375") << r.name;
            EXPECT_EQ(h.DeviceId, (std::array<uint8_t, 3>{0xAB, 0xCD, 0xEF})) << r.name;
            EXPECT_EQ(out.Index("ComboBox27"), -1) << r.name;
        } else {
            for (const char* e : kHartIdentityEdits) EXPECT_EQ(out.text[e], "") << r.name << ' ' << e;
            EXPECT_EQ(h.ManufacturerId, 0) << r.name;
            EXPECT_EQ(h.DeviceId, (std::array<uint8_t, 3>{})) << r.name;
        }
    }
}

TEST(HartDecoders, TruncatedIdentityNeverMixesTwoReplies)
{
    // A complete reply first, then the start of another one: the leftover
    // bytes of the first must not complete the second.
    ExchangeState s;
    const Bytes first = IdentityReply(5, 0x11, 0x22, 5, {0x01, 0x02, 0x03});
    const Bytes second = IdentityReply(5, 0x33, 0x44, 7, {0x0A, 0x0B, 0x0C});
    StoreChunk(s, first);
    for (size_t cut = 0; cut < second.size(); ++cut) {
        StoreChunk(s, std::span<const uint8_t>(second.data(), cut));
        HartIdentity h;
        RecordingSink out;
        DecodeHartIdentityReply(s, h, out);
        EXPECT_EQ(s.RxLength, static_cast<int32_t>(cut));
        const bool complete = cut >= 5 + 18;  // through the device id, checksum not needed
        EXPECT_EQ(out.text["Edit28"], complete ? "51" : "") << cut;
        EXPECT_EQ(h.ManufacturerId, complete ? 0x33 : 0) << cut;
        EXPECT_EQ(h.DeviceId[2], complete ? 0x0C : 0) << cut;
    }
}

TEST(HartDecoders, VariablesBySlotCount)
{
    struct Row {
        int preambles;
        size_t vars;
        uint8_t response;
    };
    const Row rows[] = {{5, 4, 0}, {2, 4, 0}, {20, 4, 0}, {5, 1, 0}, {5, 2, 0}, {5, 3, 0}, {5, 4, 0x40}};
    const char* values[] = {"12.5", "-123.4560", "00000000", "1.1000000"};
    const int units[] = {12, 46, 55, 76};
    for (const auto& r : rows) {
        const std::vector<Variable> vars(kFourVariables.begin(), kFourVariables.begin() + r.vars);
        RecordingSink out = SinkWithOldSlots();
        EXPECT_EQ(DecodeHartVariablesReply(VariablesReply(r.preambles, vars, r.response), out, "."),
                  static_cast<int>(r.vars));
        for (size_t i = 0; i < 4; ++i) {
            const auto& slot = kHartSlots[i];
            const bool filled = i < r.vars;
            EXPECT_EQ(out.text[slot.valueEdit], filled ? values[i] : "old") << r.vars << " slot " << i + 1;
            EXPECT_EQ(out.text[slot.mirrorLabel], out.text[slot.valueEdit]);
            EXPECT_EQ(out.Index(slot.unitList), filled ? units[i] : 5);
        }
    }
}

TEST(HartDecoders, VariablesNotFoundOrTruncated)
{
    const Bytes full = VariablesReply(5, kFourVariables);
    const size_t k = 4;

    // An identity reply, an empty chunk and noise change nothing.
    for (const Bytes& chunk : {IdentityReply(5, 1, 2, 3, {4, 5, 6}), Bytes{}, Bytes{0xFF, 0x06, 0x86, 0x00, 0xFF}}) {
        RecordingSink out = SinkWithOldSlots();
        EXPECT_EQ(DecodeHartVariablesReply(chunk, out, "."), 0);
        EXPECT_TRUE(out.writes.empty());
    }

    // Cut anywhere: only the slots whose unit and four value bytes arrived,
    // never bytes left over from the complete reply stored before.
    ExchangeState s;
    StoreChunk(s, full);
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        StoreChunk(s, std::span<const uint8_t>(full.data(), cut));
        RecordingSink out = SinkWithOldSlots();
        int expected = 0;
        for (int slot = 0; slot < 4; ++slot)
            if (k + 19 + 5 * slot < cut) expected = slot + 1;
        EXPECT_EQ(DecodeHartVariablesReply(s, out, "."), expected) << cut;
        EXPECT_EQ(out.text["Edit30"], expected == 4 ? "1.1000000" : "old") << cut;
    }

    // A byte count of 16 holds two variables even when more bytes follow.
    Bytes two = full;
    two[k + 8] = 16;
    RecordingSink out = SinkWithOldSlots();
    EXPECT_EQ(DecodeHartVariablesReply(two, out, ","), 2);
    EXPECT_EQ(out.text["Edit25"], "12,5");
    EXPECT_EQ(out.text["Edit27"], "old");
}

TEST(HartDecoders, ValueTexts)
{
    struct Row {
        std::array<uint8_t, 4> bytes;
        const char* text;
    };
    const Row rows[] = {
        {{0x7F, 0xC0, 0x00, 0x00}, "00000000"},  // not a number
        {{0x7F, 0x00, 0x00, 0x01}, "00000000"},  // any first byte 0x7F
        {{0x7F, 0x80, 0x00, 0x00}, "00000000"},  // +INF starts with 0x7F too
        {{0x7F, 0x7F, 0xFF, 0xFF}, "00000000"},  // so does the largest single
        {{0x41, 0x48, 0x00, 0x00}, "12.5"},      {{0xC2, 0xF6, 0xE9, 0x79}, "-123.4560"},
        {{0x4E, 0x6E, 0x6B, 0x28}, "1E9"},  // 1000000000: no integer digit dropped
        {{0x3F, 0x8C, 0xCC, 0xCD}, "1.1000000"}, {{0xFF, 0xC0, 0x00, 0x00}, "-NAN"},
        {{0xFF, 0x80, 0x00, 0x00}, "-INF"},      {{0xFF, 0x7F, 0xFF, 0xFF}, "-3.403E38"},  // huge
        {{0x00, 0x00, 0x00, 0x01}, "1.401E-45"},                                           // tiny
    };
    for (const auto& r : rows) {
        const std::string t = HartValueText(r.bytes, ".");
        EXPECT_EQ(t, r.text) << int(r.bytes[0]) << ' ' << int(r.bytes[1]);
        EXPECT_LE(t.size(), 9u);
    }
    EXPECT_EQ(HartValueText({0xC2, 0xF6, 0xE9, 0x79}, ","), "-123,4560");
}
