// ortiva-cli: the module's configuration from a terminal or a script.
#include <cstdio>
#include <string>
#include <vector>

#include "cli_app.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

int main(int argc, char* argv[])
{
    std::vector<std::string> arguments;
#ifdef _WIN32
    // The command line as Windows holds it (UTF-16), in UTF-8 like the profile;
    // the console shows UTF-8.
    ::SetConsoleOutputCP(CP_UTF8);
    (void)argv;
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    for (int i = 0; wide && i < count; ++i) {
        const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string text(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
        if (n > 1) ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), n, nullptr, nullptr);
        arguments.push_back(std::move(text));
    }
    if (wide) ::LocalFree(wide);
    (void)argc;
#else
    arguments.assign(argv, argv + argc);
#endif
    return ortiva::cli::RunCli(arguments, stdout, stderr);
}
