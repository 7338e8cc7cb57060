// ortiva-cli's full backup and full restore against simulated modules on
// pseudo-terminals, timed.
//
//   cli_bench [rounds=5] [silence-ms=50] [sim-gap-ms=20] [sim-delay-ms=20]
//
// Module A has every setting away from its defaults; each round backs it up,
// restores the profile into module B (at defaults, its rate changing on the
// way) with the read-back that verifies it, and puts B back to defaults.
// For each: frames, total time, time from sending a frame to its reply, and
// the tool's own overhead per frame: the total less, for every frame, the
// simulator's reply time (the silence that ends a request plus its delay)
// and the line silence that ends the reply. Medians over the rounds.
//
// The window reads the same groups one query at a time, each reply held
// for its receive hold and decoded at its parse tick, after its serial
// component's 100 ms chunk silence: that designed time is given beside the
// backup for the same frames.
#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "exchange_rules.h"
#include "link.h"
#include "module_io.h"
#include "profile.h"
#include "sim_server.h"

using namespace ortiva;
using namespace ortiva::cli;

namespace {

constexpr int kWindowChunkSilenceMs = 100;  // TComm's ReadIntervalTimeout as the window leaves it

void Customise(sim::Module& m)
{
    m.system = {4, 1, 6, 2, 2, 17, 1, 5, 250, 40001, 12345, 0};
    m.coefficients.mode = 2;
    m.coefficients.variable1 = "2.500";
    for (int d = 0; d < sim::kDevices; ++d) {
        auto& dev = m.devices[d];
        dev.enabled = 1;
        dev.preambles = 4 + d;
        dev.formats = {1, 3, 4, 2, 1};
        dev.commands[0] = {true, {0x01, 0x03, static_cast<uint8_t>(d), 0x00, 0x0A}};
        dev.commands[1] = {false, {0xFD, 0xAD}};
        for (int r = 0; r < 4; ++r) dev.rules[r] = {1 + r % 2, 10 * r + d, r % 2};
    }
    for (int s = 0; s < sim::kSlots; ++s) m.monitor_slots[s] = {true, {0x10, static_cast<uint8_t>(s), 0xFF}};
}

struct Figures {
    double totalMs = 0, waitMs = 0, overheadPerFrameMs = 0;
    int frames = 0;
};

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

Figures Measure(const LinkStats& before, const LinkStats& after, qint64 ns, double perFrameFixedMs)
{
    Figures f;
    f.frames = after.frames - before.frames;
    f.totalMs = static_cast<double>(ns) / 1e6;
    f.waitMs = static_cast<double>((after.wait - before.wait).count()) / 1e6;
    f.overheadPerFrameMs = f.frames > 0 ? (f.totalMs - f.frames * perFrameFixedMs) / f.frames : 0;
    return f;
}

void Print(const char* what, const std::vector<Figures>& runs)
{
    std::vector<double> total, wait, overhead;
    for (const Figures& f : runs) {
        total.push_back(f.totalMs);
        wait.push_back(f.waitMs);
        overhead.push_back(f.overheadPerFrameMs);
    }
    const double t = Median(total), w = Median(wait);
    std::printf("%-8s frames %3d  total %8.1f ms  waiting for replies %8.1f ms  between frames %6.1f ms  "
                "overhead %5.2f ms/frame\n",
                what, runs.front().frames, t, w, t - w, Median(overhead));
}

int Arg(int argc, char** argv, int i, int fallback)
{
    return argc > i ? std::atoi(argv[i]) : fallback;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = std::max(1, Arg(argc, argv, 1, 5));
    const int silence = std::max(1, Arg(argc, argv, 2, 50));
    const int gap = std::max(1, Arg(argc, argv, 3, 20));
    const int delay = std::max(0, Arg(argc, argv, 4, 20));

    sim::SimOptions options;
    options.line.frame_gap_ms = gap;
    options.line.delay_ms = delay;
    sim::SimServer a(options);
    options.line.check_rate = true;  // B answers only at its own rate
    sim::SimServer b(options);
    a.Start();
    b.Start();
    a.WithModule([](sim::Module& m) { Customise(m); });

    // Fixed per frame: the simulator's request silence and reply delay, and
    // the line silence that ends the reply.
    const double fixedMs = gap + delay + silence;
    std::vector<Figures> backups, restores;
    for (int r = 0; r < rounds; ++r) {
        LinkOptions lo;
        lo.port = a.SlavePath();
        lo.silenceMs = silence;
        Link la(lo);
        la.Open();
        QElapsedTimer clock;
        LinkStats start = la.Stats();
        clock.start();
        const Profile profile = ReadModule(la);
        backups.push_back(Measure(start, la.Stats(), clock.nsecsElapsed(), fixedMs));

        lo.port = b.SlavePath();
        Link lb(lo);
        lb.Open();
        start = lb.Stats();
        clock.restart();
        WriteSteps(lb, RestoreSteps(profile, 'a'), profile, 'a');
        const Profile back = ReadModule(lb, ReadSet{.header = false});
        restores.push_back(Measure(start, lb.Stats(), clock.nsecsElapsed(), fixedMs));
        if (!DifferingKeys(profile.values, back.values).empty()) {
            std::fprintf(stderr, "cli_bench: the restored module differs from the profile\n");
            return 1;
        }
        lb.Close();
        b.WithModule([](sim::Module& m) { m.RestoreDefaults(); });
    }

    std::printf("ortiva-cli, %d rounds, medians; simulator: request silence %d ms, reply delay %d ms; "
                "reply silence %d ms\n",
                rounds, gap, delay, silence);
    Print("backup", backups);
    Print("restore", restores);
    std::printf("(restore includes its verifying read-back and the reopening at the new rate)\n");

    const int frames = backups.front().frames;
    const double window = frames * (gap + delay + kWindowChunkSilenceMs + kReceiveHoldMs + kParseTickMs);
    const double cli = Median([&] {
        std::vector<double> v;
        for (const Figures& f : backups) v.push_back(f.totalMs);
        return v;
    }());
    std::printf("window, the same %d reads by its handlers with their designed delays "
                "(%d + %d ms simulator, %d ms chunk silence, %d ms hold, %d ms parse tick): %.0f ms, %.1fx the "
                "backup's time\n",
                frames, gap, delay, kWindowChunkSilenceMs, kReceiveHoldMs, kParseTickMs, window, window / cli);
    return 0;
}
