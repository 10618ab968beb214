#include "mainwindow/main_content.h"

#include <limits>

#include <QDesktopServices>
#include <QElapsedTimer>
#include <QPointer>
#include <QScrollBar>
#include <QThread>
#include <QUrl>

#include "appearance/icons.h"
#include "appearance/tiles.h"
#include "engine/settings_keys.h"
#include "store/to_qstring.h"

namespace bramwick {

namespace {

bool listKey(const std::string& key) {
    return key == SettingsKeys::arrangement || key == SettingsKeys::levelFilter ||
           key == SettingsKeys::hideEmpty || key == SettingsKeys::skin;
}

} // namespace

MainContent::MainContent(Store& store, Settings& settings, Desktop desktop, QWidget* parent)
    : QWidget(parent), store_(store), settings_(settings), desktop_(std::move(desktop)) {
    setObjectName("main-content");
    if (!desktop_.openFolder)
        desktop_.openFolder = [](const std::string& path) {
            QDesktopServices::openUrl(QUrl::fromLocalFile(toQString(path)));
        };

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    headerArea_ = new QVBoxLayout;
    headerArea_->setSpacing(0);
    column->addLayout(headerArea_);

    filterBar_ = new LevelFilterBar(store_, this);
    column->addWidget(filterBar_);
    connect(filterBar_, &LevelFilterBar::chosen, this,
            [this](const QString& value) { setLevelFilter(value.toStdString()); });

    divider_ = new QFrame(this);
    divider_->setObjectName("divider");
    divider_->setFrameShape(QFrame::HLine);
    divider_->setFrameShadow(QFrame::Sunken);
    column->addWidget(divider_);

    heroArea_ = new QVBoxLayout;
    column->addLayout(heroArea_);

    ListHooks hooks;
    hooks.details = [this](const CleanupCategory& category) {
        emit detailsRequested(ListPlan::DetailsRequest{category, false});
    };
    hooks.clean = [this](const CleanupCategory& category) {
        const auto request = ListPlan::cleanRequest(category, store_.state(category.id));
        if (const auto* confirmation = std::get_if<ListPlan::Confirmation>(&request))
            emit cleanRequested(*confirmation);
        else
            emit detailsRequested(std::get<ListPlan::DetailsRequest>(request));
    };
    hooks.showFolder = [this](const std::string& path) { desktop_.openFolder(path); };
    list_ = new CategoryList(store_, std::move(hooks), this);
    column->addWidget(list_, 1);

    for (auto signal :
         {&Store::categoriesChanged, &Store::statesChanged, &Store::unusedAppDaysChanged})
        connect(&store_, signal, this, &MainContent::schedule);
    // The settings may change on any thread; the refresh always runs on this one.
    QPointer<MainContent> self(this);
    subscription_ = settings_.subscribe([self](const std::string& key) {
        if (!listKey(key) || !self) return;
        if (QThread::currentThread() == self->thread()) return self->schedule();
        QMetaObject::invokeMethod(
            self,
            [self] {
                if (self) self->schedule();
            },
            Qt::QueuedConnection);
    });
    moreRows_.setSingleShot(true);
    moreRows_.setInterval(0);
    connect(&moreRows_, &QTimer::timeout, this, [this] {
        if (pending_) refresh(rowsPerTurn);
    });
    refresh(rowsPerTurn);
}

MainContent::~MainContent() {
    settings_.unsubscribe(subscription_);
}

ListPlan::ListSettings MainContent::listSettings() const {
    return ListPlan::readSettings(settings_);
}

void MainContent::setArrangement(ListPlan::Arrangement arrangement) {
    settings_.set(SettingsKeys::arrangement, std::string(ListPlan::rawValue(arrangement)));
    schedule();
}

void MainContent::setLevelFilter(const std::string& filter) {
    settings_.set(SettingsKeys::levelFilter, filter);
    // The chosen level shows from its top, not wherever the list was scrolled to before.
    scrollToTop_ = true;
    schedule();
}

void MainContent::setHideEmpty(bool hide) {
    settings_.set(SettingsKeys::hideEmpty, hide);
    schedule();
}

void MainContent::schedule() {
    if (pending_) return;
    pending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (pending_) refresh(rowsPerTurn);
        },
        Qt::QueuedConnection);
}

void MainContent::refreshNow() {
    refresh(std::numeric_limits<std::size_t>::max());
}

void MainContent::refresh(std::size_t newRows) {
    QElapsedTimer timer;
    timer.start();
    pending_ = false;
    ++refreshes_;
    const auto settings = listSettings();
    const Skin look = skinOf(this);
    plan_ = ListPlan::plan(store_.categories(), store_.states(), settings);
    filterBar_->show(store_.categories(), store_.states(), settings.levelFilter, look);
    divider_->setVisible(look == Skin::classic);
    const bool complete = list_->show(plan_, store_.categories(), store_.states(), look, newRows);
    if (look != dressedIn_) {
        // Dressing walks the whole list: only when the skin changes.
        dressScrollArea(list_->scrollArea(), look);
        dressedIn_ = look;
    }
    // The first one belongs to opening the window.
    if (refreshes_ > 1)
        slowestRefresh_ = std::max(slowestRefresh_, double(timer.nsecsElapsed()) / 1e6);
    if (!complete) {
        scheduleMoreRows();
    } else if (scrollToTop_) {
        scrollToTop_ = false;
        list_->scrollArea()->verticalScrollBar()->setValue(0);
    }
}

void MainContent::scheduleMoreRows() {
    pending_ = true;
    moreRows_.start();
}

bool MainContent::event(QEvent* event) {
    if (event->type() == skinChangeEvent()) schedule();
    return QWidget::event(event);
}

} // namespace bramwick
