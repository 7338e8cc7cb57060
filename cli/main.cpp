// ortiva-cli: the module's configuration from a terminal or a script.
#include <QCoreApplication>

#include <cstdio>

#include "cli_app.h"

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    return ortiva::cli::RunCli(QCoreApplication::arguments(), stdout, stderr);
}
