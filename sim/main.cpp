// ortiva-sim: a simulated Ortiva converter module on a pseudo-terminal.
#include "sim_server.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace {

constexpr const char* kHelp = "Usage: ortiva-sim [OPTION]...\n"
                              "Serves a simulated Ortiva converter module on a pseudo-terminal. The first line\n"
                              "written to standard output is the path to open as the serial port. Runs until\n"
                              "interrupted (SIGINT, SIGTERM, SIGHUP); needs no root.\n"
                              "\n"
                              "The module answers the configuration commands (QQS#..., QQQ#..., KAVORN#...),\n"
                              "passes HART frames to its simulated instrument in working mode 0, and is a\n"
                              "MODBUS RTU slave (function 3, registers 40001-40050) at its slave address.\n"
                              "\n"
                              "Options:\n"
                              "  --link PATH          also make a symbolic link PATH to the port (removed on exit)\n"
                              "  --delay MS           answer MS ms after a request has ended (default 20)\n"
                              "  --no-reply           act on requests but never answer\n"
                              "  --split MS           send every reply in two chunks with a pause of MS ms\n"
                              "  --garbage            noise bytes before every reply\n"
                              "  --bad-digit          a letter in one digit field of query replies\n"
                              "                       (system reply: XY1, device reply: DFO, monitoring reply: count)\n"
                              "  --long-reply         pad every reply to 600 bytes\n"
                              "  --hart-preambles N   preambles before HART replies, 2..20 (default 5)\n"
                              "  --hart-vars N        variables in the HART command 3 reply, 1..4\n"
                              "                       (byte count 11, 16, 21, 26; default 4)\n"
                              "  --hart-error         the HART instrument answers every command with\n"
                              "                       response code 32 (busy) and no data\n"
                              "  --hart-garbage       noise bytes before the preambles of HART replies\n"
                              "  --late-sections      device replies: the sections after DFO begin beyond\n"
                              "                       character 255\n"
                              "  --meter-type N       device replies report meter type N (0..99)\n"
                              "  --reorder            device replies: sections in reverse order\n"
                              "  --check-rate         ignore requests unless the line is set to the module's\n"
                              "                       RS232/RS485A baud rate\n"
                              "  --pace               spend each byte's wire time at the line's baud rate\n"
                              "                       (requests end after 3.5 characters of silence)\n"
                              "  --modbus-exception N answer register reads with MODBUS exception N (1..255)\n"
                              "  --modbus-bad-crc     register replies carry a wrong CRC\n"
                              "  --steady             publish fixed readings (by default they follow a slow\n"
                              "                       waveform per device, so that a trend shows something)\n"
                              "  --verbose            log requests and replies to standard error\n"
                              "  --help               show this text and exit\n";

[[noreturn]] void Usage(const std::string& message)
{
    std::fprintf(stderr, "ortiva-sim: %s\nTry 'ortiva-sim --help'.\n", message.c_str());
    std::exit(2);
}

int Number(const std::string& option, const std::string& text, int lo, int hi)
{
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || v < lo || v > hi)
        Usage(option + " needs a number from " + std::to_string(lo) + " to " + std::to_string(hi) + ", not '" + text +
              "'");
    return static_cast<int>(v);
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace ortiva::sim;
    SimOptions options;
    std::optional<std::string> link;
    bool steady = false;

    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::optional<std::string> inlineValue;
        if (const size_t eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
            inlineValue = arg.substr(eq + 1);
            arg.resize(eq);
        }
        auto value = [&]() -> std::string {
            if (inlineValue) return *inlineValue;
            if (i + 1 >= argc) Usage(arg + " needs a value");
            return argv[++i];
        };
        auto flag = [&]() {
            if (inlineValue) Usage(arg + " takes no value");
            return true;
        };
        if (arg == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--link") {
            link = value();
        } else if (arg == "--delay") {
            options.line.delayMs = Number(arg, value(), 0, 60000);
        } else if (arg == "--no-reply") {
            options.line.noReply = flag();
        } else if (arg == "--split") {
            options.line.splitMs = Number(arg, value(), 0, 60000);
        } else if (arg == "--garbage") {
            options.line.garbage = flag();
        } else if (arg == "--bad-digit") {
            options.module.badDigit = flag();
        } else if (arg == "--long-reply") {
            options.line.longReply = flag();
        } else if (arg == "--hart-preambles") {
            options.module.hart.preambles = Number(arg, value(), 2, 20);
        } else if (arg == "--hart-vars") {
            options.module.hart.variables = Number(arg, value(), 1, 4);
        } else if (arg == "--hart-error") {
            options.module.hart.error = flag();
        } else if (arg == "--hart-garbage") {
            options.module.hart.garbage = flag();
        } else if (arg == "--late-sections") {
            options.module.lateSections = flag();
        } else if (arg == "--meter-type") {
            options.module.meterType = Number(arg, value(), 0, 99);
        } else if (arg == "--reorder") {
            options.module.reorder = flag();
        } else if (arg == "--check-rate") {
            options.line.checkRate = flag();
        } else if (arg == "--pace") {
            options.line.pace = flag();
        } else if (arg == "--modbus-exception") {
            options.module.modbusException = Number(arg, value(), 1, 255);
        } else if (arg == "--modbus-bad-crc") {
            options.module.modbusBadCrc = flag();
        } else if (arg == "--steady") {
            steady = flag();
        } else if (arg == "--verbose") {
            options.line.verbose = flag();
        } else {
            Usage("unknown option '" + arg + "'");
        }
    }

    options.module.moving = !steady;

    // The signals are taken by sigwait below; the server thread inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    SimServer server(options);
    try {
        server.Start();
        if (link) server.MakeLink(*link);
    } catch (const std::system_error& e) {
        std::fprintf(stderr, "ortiva-sim: %s\n", e.what());
        return 1;
    }
    std::printf("%s\n", server.SlavePath().c_str());
    std::fflush(stdout);
    if (options.line.verbose)
        std::fprintf(stderr, "ortiva-sim: serving on %s%s%s\n", server.SlavePath().c_str(), link ? " linked at " : "",
                     link ? link->c_str() : "");

    int received = 0;
    sigwait(&signals, &received);
    if (options.line.verbose) std::fprintf(stderr, "ortiva-sim: %s, stopping\n", strsignal(received));
    server.Stop();
    return 0;
}
