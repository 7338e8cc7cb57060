// Line settings: what opening and each setter do to the line (read back from
// the line itself), and which setters leave the line alone.
#include "serial_test_support.h"

using namespace serial_test;

namespace {

#ifdef __linux__

TEST(CommSettings, OpeningPutsTheLineInRawModeWithTheStoredSettings)
{
    Pty pty;
    termios cooked = pty.Line();
    cooked.c_lflag |= ICANON | ECHO | ISIG;
    cooked.c_oflag |= OPOST;
    cooked.c_iflag |= ICRNL;
    pty.SetLine(cooked);

    PumpedComm comm;
    comm.SetBaudRate(38400);
    comm.SetStopBits(TStopBits::_2);
    comm.SetParity(TParity::Odd);
    OpenOn(comm, pty);

    const termios line = pty.Line();
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
    EXPECT_EQ(line.c_iflag & (ICRNL | IXON | IXOFF), 0u);
    EXPECT_NE(line.c_cflag & CREAD, 0u);
    EXPECT_NE(line.c_cflag & CLOCAL, 0u);
    EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B38400));
    EXPECT_NE(line.c_cflag & CSTOPB, 0u);
    EXPECT_NE(line.c_cflag & PARODD, 0u);  // a pseudo-terminal drops PARENB itself
}

// Each setter on the open line, and what the line shows afterwards.
struct LineChange {
    const char* what;
    std::function<void(TComm&)> set;
    std::function<void(const termios&, int master)> check;
};

class CommSetterOnOpenLine : public ::testing::TestWithParam<LineChange> {};

TEST_P(CommSetterOnOpenLine, ChangesTheLineAtOnce)
{
    Pty pty;
    PumpedComm comm;
    OpenOn(comm, pty);
    GetParam().set(comm);
    GetParam().check(pty.Line(), pty.Master());
}

const LineChange kLineChanges[] = {
    {"StandardBaudRate", [](TComm& c) { c.SetBaudRate(19200); },
     [](const termios& l, int) { EXPECT_EQ(cfgetospeed(&l), static_cast<speed_t>(B19200)); }},
    {"OtherBaudRate", [](TComm& c) { c.SetBaudRate(250000); },
     [](const termios&, int master) { EXPECT_EQ(OutputSpeed(master), 250000u); }},
    {"ZeroBaudRateKeepsTheRate", [](TComm& c) { c.SetBaudRate(0); },
     [](const termios& l, int) { EXPECT_EQ(cfgetospeed(&l), static_cast<speed_t>(B9600)); }},
    {"ParityCheck", [](TComm& c) { c.SetParityCheck(true); },
     [](const termios& l, int) { EXPECT_NE(l.c_iflag & INPCK, 0u); }},
    {"CtsFlow", [](TComm& c) { c.SetOutx_CtsFlow(true); },
     [](const termios& l, int) { EXPECT_NE(l.c_cflag & CRTSCTS, 0u); }},
    {"RtsHandshake", [](TComm& c) { c.SetRtsControl(TRtsControl::RtsHandshake); },
     [](const termios& l, int) { EXPECT_NE(l.c_cflag & CRTSCTS, 0u); }},
    {"OutgoingXonXoff", [](TComm& c) { c.SetOutx_XonXoffFlow(true); },
     [](const termios& l, int) { EXPECT_EQ(l.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON)); }},
    {"IncomingXonXoff", [](TComm& c) { c.SetInx_XonXoffFlow(true); },
     [](const termios& l, int) { EXPECT_EQ(l.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXOFF)); }},
    {"TwoStopBits", [](TComm& c) { c.SetStopBits(TStopBits::_2); },
     [](const termios& l, int) { EXPECT_NE(l.c_cflag & CSTOPB, 0u); }},
    {"OneAndAHalfStopBits", [](TComm& c) { c.SetStopBits(TStopBits::_1_5); },
     [](const termios& l, int) { EXPECT_NE(l.c_cflag & CSTOPB, 0u); }},
    {"XonXoffCharacters",
     [](TComm& c) {
         c.SetXonChar('Q');
         c.SetXoffChar('S');
     },
     [](const termios& l, int) {
         EXPECT_EQ(l.c_cc[VSTART], 'Q');
         EXPECT_EQ(l.c_cc[VSTOP], 'S');
     }},
    {"ParityGoesOutWithTheNextApplication",
     [](TComm& c) {
         c.SetParity(TParity::Mark);
         c.SetStopBits(TStopBits::_2);
     },
     [](const termios& l, int) { EXPECT_EQ(l.c_cflag & (CMSPAR | PARODD), static_cast<tcflag_t>(CMSPAR | PARODD)); }},
};

INSTANTIATE_TEST_SUITE_P(Settings, CommSetterOnOpenLine, ::testing::ValuesIn(kLineChanges),
                         [](const auto& row) { return std::string(row.param.what); });

// A setter re-applies the control block only for a new value on an open
// line. A flag the component always clears (ECHO), set behind its back, shows
// whether the block was written again.
TEST(CommSettings, OnlyANewValueReappliesTheControlBlock)
{
    const struct {
        const char* what;
        std::function<void(TComm&)> same;  // the value it holds, or a stored-only setting
        std::function<void(TComm&)> changed;
    } cases[] = {
        {"BaudRate", [](TComm& c) { c.SetBaudRate(9600); }, [](TComm& c) { c.SetBaudRate(4800); }},
        {"DtrControl", [](TComm& c) { c.SetDtrControl(TDtrControl::DtrEnable); },
         [](TComm& c) { c.SetDtrControl(TDtrControl::DtrDisable); }},
        {"RtsControl", [](TComm& c) { c.SetRtsControl(TRtsControl::RtsEnable); },
         [](TComm& c) { c.SetRtsControl(TRtsControl::RtsDisable); }},
        {"Outx_DsrFlow", [](TComm& c) { c.SetOutx_DsrFlow(false); }, [](TComm& c) { c.SetOutx_DsrFlow(true); }},
        {"DsrSensitivity", [](TComm& c) { c.SetDsrSensitivity(false); }, [](TComm& c) { c.SetDsrSensitivity(true); }},
        {"TxContinueOnXoff", [](TComm& c) { c.SetTxContinueOnXoff(true); },
         [](TComm& c) { c.SetTxContinueOnXoff(false); }},
        {"ReplaceWhenParityError", [](TComm& c) { c.SetReplaceWhenParityError(false); },
         [](TComm& c) { c.SetReplaceWhenParityError(true); }},
        {"IgnoreNullChar", [](TComm& c) { c.SetIgnoreNullChar(false); }, [](TComm& c) { c.SetIgnoreNullChar(true); }},
        {"XonLimit", [](TComm& c) { c.SetXonLimit(500); }, [](TComm& c) { c.SetXonLimit(100); }},
        {"XoffLimit", [](TComm& c) { c.SetXoffLimit(500); }, [](TComm& c) { c.SetXoffLimit(100); }},
        {"ByteSize", [](TComm& c) { c.SetByteSize(TByteSize::_8); }, [](TComm& c) { c.SetByteSize(TByteSize::_7); }},
        {"ReplacedChar", [](TComm& c) { c.SetReplacedChar(0); }, [](TComm& c) { c.SetReplacedChar('?'); }},
        {"Parity", [](TComm& c) { c.SetParity(TParity::Even); }, [](TComm& c) { c.SetParityCheck(true); }},
        {"CommName", [](TComm& c) { c.SetCommName("COM7"); }, [](TComm& c) { c.SetXonChar('A'); }},
        {"Timeouts",
         [](TComm& c) {
             c.SetReadIntervalTimeout(50);
             c.SetWriteTotalTimeoutConstant(10);
         },
         [](TComm& c) { c.SetXoffChar('B'); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Pty pty;
        PumpedComm comm;
        OpenOn(comm, pty);
        termios marked = pty.Line();
        marked.c_lflag |= ECHO;
        pty.SetLine(marked);

        c.same(comm);
        EXPECT_NE(pty.Line().c_lflag & ECHO, 0u) << "re-applied without a change";
        c.changed(comm);
        EXPECT_EQ(pty.Line().c_lflag & ECHO, 0u) << "not re-applied";
    }
}

TEST(CommSettings, SettersOnAClosedComponentOnlyStore)
{
    Pty pty;
    PumpedComm comm;
    OpenOn(comm, pty);
    comm.ClosePort();
    comm.SetBaudRate(57600);
    comm.SetOutx_CtsFlow(true);
    EXPECT_EQ(comm.BaudRate(), 57600u);
    const termios before = pty.Line();
    EXPECT_NE(cfgetospeed(&before), static_cast<speed_t>(B57600));
    comm.OpenPort();
    const termios line = pty.Line();
    EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B57600));
    EXPECT_NE(line.c_cflag & CRTSCTS, 0u);
}

#endif

TEST(CommSettings, ANewReadIntervalTakesEffectOnTheOpenLine)
{
    Pty pty;
    PumpedComm comm;
    Recorder seen;
    seen.Attach(comm);
    OpenOn(comm, pty);
    comm.SetReadIntervalTimeout(3000);
    // A pause far below the new interval no longer splits the reply.
    pty.Write("0123");
    Sleep(400);
    pty.Write("456789");
    ASSERT_TRUE(PumpUntil([&] { return seen.Joined().size() == 10; }));
    EXPECT_EQ(seen.Sizes(), std::vector<size_t>{10});
}

}  // namespace
