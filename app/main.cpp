// Program entry: the application, the main window, the message loop.
#include <QApplication>

#include "messages.h"
#include "tform1.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(ortiva::kApplicationTitle));
    TForm1 form;
    form.show();
    return app.exec();
}
