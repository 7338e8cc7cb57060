// ortiva-cli's full backup and full restore against simulated modules on
// pseudo-terminals, timed.
//
//   cli_bench [rounds=5] [silence-ms=50] [sim-gap-ms=20] [sim-delay-ms=20] [paced=1]
//
// Paced (the default), the simulator spends each byte's wire time at the
// line's rate and ends a request after 3.5 characters of silence; the limit
// beside each figure is then the wire time of every frame and reply plus the
// simulator's turnaround (that silence and its reply delay) for each frame:
// what the module itself needs. Unpaced, a request ends after sim-gap-ms.
//
// Module A has every setting away from its defaults; each round backs it up,
// restores the profile into module B (at defaults, its rate changing on the
// way) with the read-back that verifies it, and puts B back to defaults.
// For each: frames, total time, time from sending a frame to its reply, the
// replies ended by the line's silence (not by their judge) and the tool's
// own overhead per frame: the total less the limit, per frame. Medians over
// the rounds.
//
// The window reads the same groups one query at a time, each reply held
// for its receive hold and decoded at its parse tick, after its serial
// component's 100 ms chunk silence: that designed time is given beside the
// backup for the same frames.

#include <algorithm>
#include <chrono>
#include <cmath>
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
    for (int s = 0; s < sim::kSlots; ++s) m.monitorSlots[s] = {true, {0x10, static_cast<uint8_t>(s), 0xFF}};
}

struct Figures {
    double totalMs = 0, waitMs = 0, overheadPerFrameMs = 0, limitMs = 0;
    int frames = 0, bySilence = 0;
};

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The silence that ends a request for the simulator: 3.5 characters at the
// link's rate (10 bits, 11 with parity), rounded up to the millisecond, when
// paced.
double RequestEndMs(bool paced, int gapMs, const LinkOptions& line)
{
    const double bits = line.parity == TParity::None ? 10 : 11;
    return paced ? std::ceil(3.5 * bits * 1000 / line.baud) : gapMs;
}

// The module's own time: wire time plus the turnaround of every frame.
// (Unpaced, the bytes cost no wire time: the turnaround alone.)
double LimitMs(const LinkStats& before, const LinkStats& after, double turnaroundMs, bool paced)
{
    const double wire = paced ? static_cast<double>((after.wire - before.wire).count()) / 1e6 : 0;
    return wire + (after.frames - before.frames) * turnaroundMs;
}

Figures Measure(const LinkStats& before, const LinkStats& after, int64_t ns, double perFrameFixedMs)
{
    Figures f;
    f.frames = after.frames - before.frames;
    f.bySilence = after.endedBySilence - before.endedBySilence;
    f.totalMs = static_cast<double>(ns) / 1e6;
    f.waitMs = static_cast<double>((after.wait - before.wait).count()) / 1e6;
    f.overheadPerFrameMs =
        f.frames > 0 ? (f.totalMs - f.frames * perFrameFixedMs) / f.frames : 0;  // replaced by the caller
    return f;
}

void Print(const char* what, const std::vector<Figures>& runs)
{
    std::vector<double> total, wait, overhead, limit;
    for (const Figures& f : runs) {
        total.push_back(f.totalMs);
        wait.push_back(f.waitMs);
        overhead.push_back(f.overheadPerFrameMs);
        limit.push_back(f.limitMs);
    }
    const double t = Median(total), w = Median(wait), l = Median(limit);
    std::printf("%-8s frames %3d  total %8.1f ms  waiting for replies %8.1f ms  between frames %6.1f ms  "
                "overhead %5.2f ms/frame  ended by silence %d\n",
                what, runs.front().frames, t, w, t - w, Median(overhead), runs.front().bySilence);
    std::printf("%-8s wire-and-turnaround limit %8.1f ms  ratio %.2f (target <= 1.2)\n", "", l, t / l);
}

int Arg(int argc, char** argv, int i, int fallback) { return argc > i ? std::atoi(argv[i]) : fallback; }

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = std::max(1, Arg(argc, argv, 1, 5));
    const int silence = std::max(1, Arg(argc, argv, 2, 50));
    const int gap = std::max(1, Arg(argc, argv, 3, 20));
    const int delay = std::max(0, Arg(argc, argv, 4, 20));
    const bool paced = Arg(argc, argv, 5, 1) != 0;

    sim::SimOptions options;
    options.line.frameGapMs = gap;
    options.line.delayMs = delay;
    options.line.pace = paced;
    sim::SimServer a(options);
    options.line.checkRate = true;  // B answers only at its own rate
    sim::SimServer b(options);
    a.Start();
    b.Start();
    a.WithModule([](sim::Module& m) { Customise(m); });

    // Per frame, the simulator's turnaround: its request silence and reply
    // delay. The tool's overhead is what the total has beyond the limit.
    // Module A is read at its own rate and parity (19200, odd), as a PC set
    // up for it would; module B starts at its defaults (9600, none).
    LinkOptions lineA;
    lineA.port = a.SlavePath();
    lineA.silenceMs = silence;
    lineA.baud = 19200;
    lineA.parity = TParity::Odd;
    LinkOptions lineB = lineA;
    lineB.port = b.SlavePath();
    lineB.baud = 9600;
    lineB.parity = TParity::None;
    const double requestEndMs = RequestEndMs(paced, gap, lineB);
    std::vector<Figures> backups, restores;
    for (int r = 0; r < rounds; ++r) {
        Link la(lineA);
        la.Open();
        LinkStats start = la.Stats();
        auto clock = std::chrono::steady_clock::now();
        const auto elapsedNs = [&clock] {
            return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - clock)
                .count();
        };
        const Profile profile = ReadModule(la);
        backups.push_back(Measure(start, la.Stats(), elapsedNs(), 0));
        backups.back().limitMs = LimitMs(start, la.Stats(), RequestEndMs(paced, gap, lineA) + delay, paced);
        backups.back().overheadPerFrameMs = (backups.back().totalMs - backups.back().limitMs) / backups.back().frames;

        Link lb(lineB);
        lb.Open();
        start = lb.Stats();
        clock = std::chrono::steady_clock::now();
        WriteSteps(lb, RestoreSteps(profile, 'a'), profile, 'a');
        const LinkStats written = lb.Stats();
        const Profile back = ReadModule(lb, ReadSet{.header = false});
        restores.push_back(Measure(start, lb.Stats(), elapsedNs(), 0));
        // The writes go at 9600 (the last at the new rate), the read-back at the profile's rate.
        restores.back().limitMs = LimitMs(start, written, RequestEndMs(paced, gap, lineB) + delay, paced) +
                                  LimitMs(written, lb.Stats(), RequestEndMs(paced, gap, lb.Options()) + delay, paced);
        restores.back().overheadPerFrameMs =
            (restores.back().totalMs - restores.back().limitMs) / restores.back().frames;
        if (!DifferingKeys(profile.values, back.values).empty()) {
            std::fprintf(stderr, "cli_bench: the restored module differs from the profile\n");
            return 1;
        }
        lb.Close();
        b.WithModule([](sim::Module& m) { m.RestoreDefaults(); });
    }

    std::printf("ortiva-cli, %d rounds, medians; simulator %s: request silence %s%.0f ms%s, reply delay %d ms; "
                "silence that ends a reply the tool cannot judge %d ms\n",
                rounds, paced ? "paced at the line's rate" : "unpaced", paced ? "3.5 characters (" : "", requestEndMs,
                paced ? " at 9600 baud, 3 ms at A's 19200 odd)" : "", delay, silence);
    Print("backup", backups);
    Print("restore", restores);
    std::printf("(restore includes its verifying read-back and the reopening at the new rate)\n");

    const int frames = backups.front().frames;
    const double window = frames * (requestEndMs + delay + kWindowChunkSilenceMs + kReceiveHoldMs + kParseTickMs);
    const double cli = Median([&] {
        std::vector<double> v;
        for (const Figures& f : backups) v.push_back(f.totalMs);
        return v;
    }());
    std::printf("window, the same %d reads by its handlers with their designed delays "
                "(%.0f + %d ms simulator, %d ms chunk silence, %d ms hold, %d ms parse tick; wire time aside): "
                "%.0f ms, %.1fx the backup's time\n",
                frames, requestEndMs, delay, kWindowChunkSilenceMs, kReceiveHoldMs, kParseTickMs, window, window / cli);
    return 0;
}
