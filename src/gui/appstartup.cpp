#include "appstartup.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QMessageBox>

bool loadStyleSheet(QApplication &app)
{
    if (!QFile::exists(QStringLiteral(":/"))) {
        qCritical() << QObject::tr("资源系统未初始化！");
        return false;
    }
    QFile file(QStringLiteral(":/qss/default.css"));
    if (!file.open(QIODevice::ReadOnly)) {
        qCritical() << QObject::tr("无法打开样式表:") << file.errorString();
        qCritical() << QObject::tr("当前工作目录:") << QDir::currentPath();
        return false;
    }
    const QString sheet = QString::fromUtf8(file.readAll());
    file.close();
    if (sheet.isEmpty()) {
        qWarning() << QObject::tr("样式表为空！");
        return false;
    }
    app.setStyleSheet(sheet);
    return true;
}

void showStyleSheetWarning()
{
    QMessageBox box(QMessageBox::Warning, QObject::tr("警告"),
        QObject::tr("无法加载样式表，将使用默认外观。\n这可能会影响应用程序的外观，但功能不受影响。"), QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::NoButton);
    box.exec();
}
