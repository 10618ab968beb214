#include "settings/settings_window.h"

#include <algorithm>
#include <utility>

#include <QLabel>
#include <QLayout>
#include <QShowEvent>
#include <QTabBar>
#include <QVBoxLayout>

#include "base/edition.h"
#include "platform/qt/desktop_actions.h"
#include "store/to_qstring.h"

namespace bramwick {

SettingsWindow::SettingsWindow(Store& store, Settings& settings, SettingsPages::Hooks hooks,
                               QWidget* parent)
    : SkinBackdrop(parent) {
    setObjectName(QStringLiteral("settingsWindow"));
    setAutoFillBackground(true);
    SkinScene::attach(this);
    setWindowTitle(QStringLiteral("%1 Settings").arg(toQString(Edition::displayName)));
    if (!hooks.login.openFolder) hooks.login.openFolder = DesktopActions::openFolder;
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, topMargin, 0, 0);
    pages_ = new SettingsPages(store, settings, std::move(hooks), this);
    column->addWidget(pages_);
    connect(pages_, &SettingsPages::pageChanged, this, &SettingsWindow::fitPage);
    fitPage();
}

void SettingsWindow::fitPage() {
    // As tall as the page shown at the form's width, its wrapped captions included. The page's
    // size hint measures them at guessed widths and leaves blank room below the last one; its
    // height for the width can fall a few lines short once its rows are laid out (a caption
    // given less than its lines), so the page is laid out and grown by what any caption lacks.
    QWidget* page = pages_->currentWidget();
    if (!page) return;
    pages_->ensurePolished();
    // A row shown or hidden while the window was closed (the login message) leaves its group's
    // layout holding the heights it had before.
    for (QLayout* layout : page->findChildren<QLayout*>())
        layout->invalidate();
    int pageHeight = page->heightForWidth(pageWidth);
    if (pageHeight < 0) pageHeight = page->sizeHint().height();
    const int tabs = pages_->tabBar()->sizeHint().height();
    for (int round = 0; round < 4; ++round) {
        pages_->setFixedSize(pageWidth, tabs + pageHeight);
        setFixedSize(pageWidth, tabs + pageHeight + topMargin);
        // The tab view places the page; the page's layout then places its rows.
        if (QLayout* layout = this->layout()) layout->activate();
        page->setGeometry(page->x(), page->y(), pageWidth, pageHeight);
        if (QLayout* layout = page->layout()) layout->activate();
        int lacking = 0;
        for (QLabel* label : page->findChildren<QLabel*>())
            if (!label->isHidden() && label->wordWrap())
                lacking += std::max(0, label->heightForWidth(label->width()) - label->height());
        if (lacking == 0) return;
        pageHeight += lacking;
    }
}

void SettingsWindow::showEvent(QShowEvent* event) {
    fitPage();
    SkinBackdrop::showEvent(event);
    // An approval given elsewhere while the window was closed shows at once.
    if (!event->spontaneous()) pages_->refreshLogin();
}

void SettingsWindow::present() {
    show();
    raise();
    activateWindow();
}

} // namespace bramwick
