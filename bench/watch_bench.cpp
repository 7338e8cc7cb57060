// `ortiva-cli watch all` against a simulated module paced at 9600 baud with
// no reply delay: samples per second beside the wire-time limit.
//
//   watch_bench [samples=40] [baud=9600]
//
// A sample reads the five devices' registers: per device a request of 8 bytes
// and a reply of 25, each byte 10 bits on the line (no parity). The rate is
// taken from the CSV time stamps of the first and last samples, so the reads
// of the device records and the system group before polling are left out.
// Beside it, where the time of one register read goes: the wire, and the
// simulator's end-of-request silence (3.5 characters, rounded up to the
// millisecond), which is the protocol's own cost and not the tool's.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli_app.h"
#include "sim_server.h"

using namespace ortiva;

namespace {

// "2026-12-10T16:20:00.123Z" as seconds since the epoch.
double Seconds(const std::string& stamp)
{
    std::tm t{};
    int ms = 0;
    if (std::sscanf(stamp.c_str(), "%d-%d-%dT%d:%d:%d.%dZ", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour, &t.tm_min,
                    &t.tm_sec, &ms) != 7)
        return 0;
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    return static_cast<double>(timegm(&t)) + ms / 1000.0;
}

}  // namespace

int main(int argc, char** argv)
{
    const int samples = std::max(3, argc > 1 ? std::atoi(argv[1]) : 40);
    const int baud = argc > 2 ? std::atoi(argv[2]) : 9600;

    sim::SimOptions options;
    options.line.pace = true;
    options.line.delayMs = 0;
    sim::SimServer server(options);  // steady readings unless asked to move
    server.Start();

    const std::filesystem::path csv = std::filesystem::temp_directory_path() / "ortiva-watch-bench.csv";
    std::filesystem::remove(csv);
    std::FILE* out = std::tmpfile();
    const auto started = std::chrono::steady_clock::now();
    const int code = cli::RunCli({"ortiva-cli", "-p", server.SlavePath(), "-b", std::to_string(baud), "watch", "all",
                                  "--interval", "0", "--count", std::to_string(samples), "--csv", csv.string()},
                                 out, stderr);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::fclose(out);
    if (code != 0) {
        std::fprintf(stderr, "watch_bench: ortiva-cli watch ended with %d\n", code);
        return 1;
    }
    std::ifstream file(csv);
    std::string line, first, last;
    int rows = -1;  // the header
    while (std::getline(file, line)) {
        if (rows == 0) first = line;
        last = line;
        ++rows;
    }
    std::filesystem::remove(csv);
    const double span = Seconds(last.substr(0, 24)) - Seconds(first.substr(0, 24));
    if (rows != samples || span <= 0) {
        std::fprintf(stderr, "watch_bench: %d rows over %.3f s\n", rows, span);
        return 1;
    }
    const double rate = (rows - 1) / span;
    const double character = 10.0 / baud;
    const double wirePerDevice = (8 + 25) * character;
    const double limit = 1.0 / (5 * wirePerDevice);
    const double silence = std::ceil(3.5 * character * 1000) / 1000;
    const double measuredPerDevice = span / (rows - 1) / 5;
    std::printf("watch all, %d samples at %d baud (simulator paced, reply delay 0), %.2f s in all\n", rows, baud, wall);
    std::printf("samples per second   %6.3f\n", rate);
    std::printf("wire-time limit      %6.3f   (5 x (8 + 25) bytes x 10 bits)\n", limit);
    std::printf("ratio                %6.3f   (target >= 0.8)\n", rate / limit);
    std::printf("per register read    %6.2f ms: wire %.2f ms, request-end silence %.2f ms, the rest %.2f ms\n",
                measuredPerDevice * 1000, wirePerDevice * 1000, silence * 1000,
                (measuredPerDevice - wirePerDevice - silence) * 1000);
    return 0;
}
