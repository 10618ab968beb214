// Draws the windows off screen and writes their pictures: `screenshots [folder]`.
#include <cstdio>

#include <QApplication>
#include <QDir>

#include "tray_shots.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(folder);
    const QStringList skins{"classic", "nightfall", "hibernia"};
    for (const QString& name : bramwick::Screenshots::shootTray(folder, skins))
        std::printf("%s/%s\n", qPrintable(folder), qPrintable(name));
    return 0;
}
