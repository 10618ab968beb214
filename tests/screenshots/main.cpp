// Renders every registered shot in every skin into PNG files, offscreen, with one bundled font
// and all animations off. Its settings live in a temporary home.
//
//     bramwick_screenshots [--check] [FOLDER]
//
// FOLDER defaults to "screenshots"; --check without a folder writes into a temporary folder.
// With --check the program reads every picture back and fails when one is missing or blank (a
// single colour), and reads every text showing in each shot (text_check.h): it fails when one
// is cut, clipped or drawn over another. A popup a shot opens (an info popover, the unused-days
// editor) is drawn into the picture where it stands over the window, and its texts are read too.
#include <cstdio>
#include <set>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include "appearance/button_style.h"
#include "appearance/motion.h"
#include "appearance/window_dressing.h"
#include "shots.h"
#include "text_check.h"

namespace bramwick::shots {

std::vector<Shot>& registry() {
    static std::vector<Shot> shots;
    return shots;
}

std::vector<const void*>& keptObjects() {
    static auto* kept = new std::vector<const void*>; // never destroyed: what it holds stays
    return *kept;
}

} // namespace bramwick::shots

namespace {

// DejaVu Sans (Debian's fonts-dejavu-core), read from its file so every machine draws the
// same letters.
bool loadFont() {
    const QString folder = QStringLiteral("/usr/share/fonts/truetype/dejavu/");
    int regular = QFontDatabase::addApplicationFont(folder + QStringLiteral("DejaVuSans.ttf"));
    QFontDatabase::addApplicationFont(folder + QStringLiteral("DejaVuSans-Bold.ttf"));
    if (regular < 0) return false;
    QFont font(QFontDatabase::applicationFontFamilies(regular).value(0));
    font.setPixelSize(13);
    QApplication::setFont(font);
    return true;
}

// The popups open over `window`, drawn where they stand.
QPixmap withPopups(QWidget* window, const std::vector<QWidget*>& popups) {
    QPixmap picture = window->grab();
    QPainter painter(&picture);
    const QPoint origin = window->mapToGlobal(QPoint(0, 0));
    for (QWidget* popup : popups)
        painter.drawPixmap(popup->mapToGlobal(QPoint(0, 0)) - origin, popup->grab());
    return picture;
}

std::vector<QWidget*> openPopups(const QWidget* window) {
    std::vector<QWidget*> popups;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top != window && top->isVisible() && top->windowType() == Qt::Popup)
            popups.push_back(top);
    return popups;
}

// The offscreen plugin says so each time a window asks what it cannot do (raise, grab the
// keyboard); nothing a picture shows depends on it.
void quietPlugin(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (message.startsWith(QLatin1String("This plugin does not support"))) return;
    std::fprintf(stderr, "%s%s\n", type == QtWarningMsg ? "warning: " : "", qPrintable(message));
}

bool blank(const QImage& image) {
    if (image.isNull()) return true;
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            if (image.pixel(x, y) != first) return false;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    // One screen of a common desktop's size, so popups open where they would there: the plugin's
    // own screen is smaller than the main window.
    QTemporaryDir screens;
    QFile config(screens.filePath(QStringLiteral("screens.json")));
    if (!screens.isValid() || !config.open(QIODevice::WriteOnly) ||
        config.write(R"({"screens": [{"name": "shots", "x": 0, "y": 0, "width": 1920,
                         "height": 1200, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})") <
            0) {
        std::fprintf(stderr, "bramwick_screenshots: no screen configuration\n");
        return 1;
    }
    config.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config.fileName()).toLocal8Bit());
    // The stored skin is set for each skin shot: never in the user's own settings.
    QTemporaryDir home;
    if (!home.isValid() || !qputenv("BRAMWICK_HOME", home.path().toLocal8Bit())) {
        std::fprintf(stderr, "bramwick_screenshots: no temporary home\n");
        return 1;
    }
    qInstallMessageHandler(quietPlugin);
    QApplication app(argc, argv);
    bramwick::Motion::setEnabled(false);
    bramwick::installSkinStyle();
    if (!loadFont()) {
        std::fprintf(stderr, "bramwick_screenshots: the font DejaVu Sans is missing\n");
        return 1;
    }

    bool check = false;
    QString folder;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--check"))
            check = true;
        else
            folder = arg;
    }
    QTemporaryDir temporary;
    if (folder.isEmpty()) folder = check ? temporary.path() : QStringLiteral("screenshots");

    int failures = 0;
    int written = 0;
    for (bramwick::Skin skin : bramwick::Skins::allCases) {
        const QString skinFolder = folder + QLatin1Char('/') + bramwick::Skins::rawValue(skin);
        QDir().mkpath(skinFolder);
        if (auto why = bramwick::SkinSettings::instance().setStored(skin)) {
            std::fprintf(stderr, "could not store the skin: %s\n", why->c_str());
            return 1;
        }
        for (const auto& shot : bramwick::shots::registry()) {
            QWidget* window = nullptr;
            if (shot.window) {
                window = shot.make(skin);
            } else {
                auto* backdrop = new bramwick::SkinBackdrop;
                backdrop->setAutoFillBackground(true);
                auto* layout = new QVBoxLayout(backdrop);
                layout->setContentsMargins(0, 0, 0, 0);
                bramwick::dressWindow(backdrop, skin);
                QWidget* content = shot.make(skin);
                layout->addWidget(content);
                bramwick::dressWindow(backdrop, skin);
                window = backdrop;
            }
            window->resize(shot.size);
            window->show();
            // What the skin change and the showing set off (a list's refresh, then the layouts
            // it asks for) takes a few turns; a picture taken after one shows stale geometry.
            for (int round = 0; round < 8; ++round) {
                QCoreApplication::sendPostedEvents();
                QApplication::processEvents();
            }
            const QString path = skinFolder + QLatin1Char('/') + QString::fromStdString(shot.name) +
                                 QStringLiteral(".png");
            const auto popups = openPopups(window);
            if (check) {
                auto faults = bramwick::shots::textFaults(window);
                for (QWidget* popup : popups) {
                    for (auto& fault : bramwick::shots::textFaults(popup))
                        faults.push_back(std::move(fault));
                    if (auto fault = bramwick::shots::offScreen(popup)) faults.push_back(*fault);
                }
                for (const auto& fault : faults)
                    std::fprintf(stderr, "%s/%s: %s\n", qPrintable(bramwick::Skins::rawValue(skin)),
                                 shot.name.c_str(), fault.c_str());
                failures += int(faults.size());
            }
            if (!withPopups(window, popups).save(path)) {
                std::fprintf(stderr, "could not write %s\n", qPrintable(path));
                ++failures;
            } else {
                ++written;
            }
            delete window;
            if (check && blank(QImage(path))) {
                std::fprintf(stderr, "blank or unreadable: %s\n", qPrintable(path));
                ++failures;
            }
        }
    }
    std::printf("%d pictures in %s\n", written, qPrintable(folder));
    return failures == 0 && written > 0 ? 0 : 1;
}
