#include "mainwindow/main_window_frame.h"

#include <utility>

#include <QGuiApplication>
#include <QLayout>
#include <QPaintEvent>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

#include "appearance/typography.h"
#include "base/edition.h"
#include "base/text.h"
#include "engine/health.h"
#include "store/to_qstring.h"

namespace bramwick {

std::string diskLine(const std::optional<Store::Disk>& disk) {
    if (!disk) return "The disk's figures could not be read yet.";
    return Text::byteCount(disk->available) + " free of " + Text::byteCount(disk->total) +
           " \u00b7 " + DiskHealths::title(DiskHealths::rate(*disk));
}

MainWindowFrame::MainWindowFrame(Store& store, Hooks hooks, QWidget* parent)
    : SkinBackdrop(parent), store_(store), hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("mainWindow"));
    setAutoFillBackground(true);
    SkinScene::attach(this);
    setWindowTitle(toQString(Edition::displayName));
    setMinimumSize(leastWidth, leastHeight);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 16, 20, 16);
    column->setSpacing(12);
    disk_ = new QLabel(this);
    disk_->setObjectName(QStringLiteral("mainDisk"));
    disk_->setTextFormat(Qt::PlainText);
    disk_->setFont(textFont(TextStyle::title2, QFont::Bold));
    column->addWidget(disk_);

    // Stand-in for the category list, which replaces it; it claims nothing it does not show.
    auto* placeholder =
        new QLabel(QStringLiteral("The category list is not part of this build yet."), this);
    placeholder->setObjectName(QStringLiteral("mainContent"));
    placeholder->setTextFormat(Qt::PlainText);
    placeholder->setAlignment(Qt::AlignCenter);
    placeholder->setForegroundRole(QPalette::PlaceholderText);
    content_ = placeholder;
    column->addWidget(content_, 1);

    connect(&store_, &Store::diskChanged, this, &MainWindowFrame::showDisk);
    showDisk();
}

void MainWindowFrame::showDisk() {
    if (disk_) disk_->setText(toQString(diskLine(store_.disk())));
}

void MainWindowFrame::setContent(QWidget* content) {
    auto* column = static_cast<QVBoxLayout*>(layout());
    // The layout hands back the item that held the old widget: it is ours to delete.
    delete column->replaceWidget(content_, content);
    delete content_;
    content_ = content;
    // Built elsewhere, it may have taken its sizes in another skin than this window's.
    announceSkin(content);
}

void MainWindowFrame::setTop(QWidget* top) {
    auto* column = static_cast<QVBoxLayout*>(layout());
    QWidget* old = top_ ? top_ : disk_;
    delete column->replaceWidget(old, top);
    delete old;
    disk_ = nullptr;
    top_ = top;
    announceSkin(top);
    // The top's blocks keep their own margins and reach the window's edges.
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
}

void MainWindowFrame::place() {
    if (placed_) return;
    placed_ = true;
    resize(minimumSize());
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

void MainWindowFrame::present() {
    place();
    if (std::exchange(docked_, false)) {
        showNormal();
        opened();
    } else {
        show();
    }
    raise();
    activateWindow();
}

void MainWindowFrame::dock() {
    if (isVisible()) return; // open, or in the taskbar already
    docked_ = true;
    place();
    showMinimized();
}

void MainWindowFrame::undock() {
    if (!docked_) return;
    hide();
    docked_ = false;
}

void MainWindowFrame::opened() {
    shown_ = true;
    if (hooks_.appeared) hooks_.appeared();
}

void MainWindowFrame::showEvent(QShowEvent* event) {
    SkinBackdrop::showEvent(event);
    // The window manager's own unmapping (minimising) is not a close.
    if (event->spontaneous() || shown_ || docked_) return;
    opened();
}

void MainWindowFrame::hideEvent(QHideEvent* event) {
    SkinBackdrop::hideEvent(event);
    if (event->spontaneous() || !shown_) return;
    shown_ = false;
    if (hooks_.disappeared) hooks_.disappeared();
}

void MainWindowFrame::changeEvent(QEvent* event) {
    SkinBackdrop::changeEvent(event);
    // Restored from the taskbar by the user: the window opens.
    if (event->type() == QEvent::WindowStateChange && docked_ && !isMinimized()) {
        docked_ = false;
        opened();
    }
}

void MainWindowFrame::paintEvent(QPaintEvent* event) {
    SkinBackdrop::paintEvent(event);
    if (!painted_) {
        painted_ = true;
        emit firstPaint();
    }
}

} // namespace bramwick
