#include "appstartup.h"
#include "mainwindow.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (!loadStyleSheet(app))
        showStyleSheetWarning();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/logo.svg")));
    MainWindow window;
    window.show();
    return app.exec();
}
