#include "mainwindow/window_top.h"

#include <algorithm>
#include <vector>

#include <QApplication>
#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QPainter>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QShowEvent>
#include <QVBoxLayout>

#include "appearance/skin.h"
#include "engine/settings_keys.h"
#include "mainwindow/main_content.h"
#include "settings/schedule_sheet.h"
#include "sheets/sheet_frame.h"
#include "sheets/sheets.h"
#include "store/to_qstring.h"

namespace bramwick {

namespace {

// The window washed over in its own background colour, the setup card in its middle; it takes
// every click meant for the content below.
class SetupLayer : public QWidget {
  public:
    explicit SetupLayer(QWidget* window) : QWidget(window) {
        setObjectName(QStringLiteral("accessSetupLayer"));
        setAttribute(Qt::WA_NoMousePropagation);
        window->installEventFilter(this);
        setGeometry(window->rect());
    }

    void place() {
        setGeometry(parentWidget()->rect());
        if (auto* card = findChild<FullDiskAccessSetup*>()) {
            card->adjustSize();
            card->move((width() - card->width()) / 2, (height() - card->height()) / 2);
        }
        raise();
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parentWidget() && event->type() == QEvent::Resize) place();
        return QWidget::eventFilter(watched, event);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QColor wash = palette().color(QPalette::Window);
        wash.setAlphaF(0.85f);
        painter.fillRect(rect(), wash);
    }
    void mousePressEvent(QMouseEvent*) override {}
};

} // namespace

WindowTop::WindowTop(Store& store, Settings& settings, QWidget* window, SheetSources sources,
                     QWidget* parent)
    : QWidget(parent), store_(store), settings_(settings), window_(window),
      sources_(std::move(sources)) {
    setObjectName(QStringLiteral("windowTop"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    MainToolbar::Actions tools;
    tools.uninstall = [this] {
        // The details sheet of the applications category, every installed application listed.
        if (const auto category = MainActions::uninstallCategory(store_.categories()))
            openDetails({*category, true});
    };
    // The maintenance sheet follows the store's flag.
    tools.maintenance = [this] { store_.maintenance().setShown(true); };
    tools.addFolder = [this](Level level) { store_.addFolders(level); };
    tools.schedule = [this] {
        showSchedule_ = true;
        emit sheetsChanged();
        openSchedule();
    };
    tools.rescan = [this] { store_.scanAll(); };
    tools.settings = [this] { emit settingsRequested(); };
    toolbar_ = new MainToolbar(store_, settings_, std::move(tools), this);
    column->addWidget(toolbar_);
    auto* settingsShortcut = new QShortcut(window_);
    settingsShortcut->setObjectName(QStringLiteral("settingsShortcut"));
    settingsShortcut->setKeys(settingsKeys());
    settingsShortcut->setContext(Qt::WindowShortcut);
    connect(settingsShortcut, &QShortcut::activated, this, &WindowTop::settingsRequested);

    DiskHeader::Actions actions;
    actions.cleanAllSafe = [this] {
        askToConfirm({MainActions::Confirmation::Kind::allSafe, {}, {}});
    };
    actions.showRunning = [this] { showRunning(); };
    actions.showMemory = [this] {
        showMemoryUsers_ = true;
        emit sheetsChanged();
        openMemoryUsers();
    };
    header_ = new DiskHeader(store_, std::move(actions), this);
    column->addWidget(header_);
    report_ = new ReportBanner(store_, this);
    column->addWidget(report_);
    access_ = new FullDiskAccessBanner(
        store_, [this] { setShowAccessSetup(true); }, this);
    column->addWidget(access_);
    // The list places the hero under its filter bar once it is in the window.
    hero_ = new ScanningHeroRow(store_, this);
    column->addWidget(hero_);

    presenter_ = new ConfirmPresenter(window_);
    connect(&store_.maintenance(), &StoreMaintenance::shownChanged, this, [this] {
        if (store_.maintenance().shown()) openMaintenance();
    });
    // The card follows the scans that end while it is shown: what a clean takes is what is
    // listed when it starts.
    connect(&store_, &Store::statesChanged, this, &WindowTop::followCard);
    connect(&store_, &Store::categoriesChanged, this, &WindowTop::followCard);
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive) becameActive();
            });
}

QList<QKeySequence> WindowTop::settingsKeys() {
    QList<QKeySequence> keys = QKeySequence::keyBindings(QKeySequence::Preferences);
    const QKeySequence comma(Qt::CTRL | Qt::Key_Comma);
    if (!keys.contains(comma)) keys.append(comma);
    return keys;
}

void WindowTop::askToConfirm(MainActions::Confirmation confirmation) {
    const QString title = toQString(MainActions::confirmationTitle(confirmation));
    const QString message = toQString(confirmationMessage(confirmation));
    const bool dangerous = MainActions::confirmationDangerous(confirmation);
    confirmation_ = std::move(confirmation);
    auto confirmed = [this] {
        // What the card offered last: it follows the scans that ended while it was shown.
        if (!confirmation_) return;
        const MainActions::Confirmation offered = *confirmation_;
        if (offered.kind == MainActions::Confirmation::Kind::allSafe) {
            store_.cleanAllSafe();
            return;
        }
        store_.cleanStillListed(offered.category, offered.items);
    };
    presenter_->present(title, message, QString::fromLatin1(MainActions::confirmLabel), dangerous,
                        std::move(confirmed));
}

std::string WindowTop::confirmationMessage(const MainActions::Confirmation& confirmation) const {
    return MainActions::confirmationMessage(
        confirmation, store_.safeTotal(), store_.yoursInSafe(), store_.trashInSafe(),
        MainActions::safeCleanToTrash(store_.categories(), store_.states()));
}

void WindowTop::followCard() {
    ConfirmCard* card = presenter_->card();
    if (!card || !confirmation_) return;
    if (confirmation_->kind == MainActions::Confirmation::Kind::category) {
        const auto& categories = store_.categories();
        const auto category =
            std::find_if(categories.begin(), categories.end(), [&](const CleanupCategory& c) {
                return c.id == confirmation_->category.id;
            });
        // A category that left the list, or none of the items asked for still listed: the card
        // would offer a clean that takes nothing.
        std::optional<MainActions::Confirmation> now;
        if (category != categories.end())
            now = MainActions::stillListed(*confirmation_, store_.listed(*category));
        if (!now) {
            presenter_->clear();
            return;
        }
        confirmation_ = std::move(now);
        // Another clean of the category has to end before this one may start.
        const auto* state = store_.state(confirmation_->category.id);
        card->confirmButton()->setEnabled(!(state && state->cleaning));
    }
    card->setMessage(toQString(confirmationMessage(*confirmation_)));
}

void WindowTop::setShowAccessSetup(bool shown) {
    if (shown == showAccessSetup()) return;
    if (!shown) {
        setupLayer_->hide();
        setupLayer_->deleteLater();
        setupLayer_ = nullptr;
        setup_ = nullptr;
        return;
    }
    auto* layer = new SetupLayer(window_);
    FullDiskAccessSetup::Hooks hooks;
    hooks.skipped = [this] {
        return settings_.boolean(SettingsKeys::skippedFullDiskAccess).value_or(false);
    };
    hooks.setSkipped = [this](bool skipped) {
        settings_.set(SettingsKeys::skippedFullDiskAccess, skipped);
    };
    hooks.done = [this] {
        setShowAccessSetup(false);
        store_.scanAll();
    };
    setup_ = new FullDiskAccessSetup(store_, std::move(hooks), layer);
    auto* shadow = new QGraphicsDropShadowEffect(setup_);
    shadow->setBlurRadius(40);
    shadow->setOffset(0, 0);
    shadow->setColor(QColor::fromRgbF(0, 0, 0, 0.33f));
    setup_->setGraphicsEffect(shadow);
    setupLayer_ = layer;
    layer->place();
    layer->show();
    setup_->setFocus();
}

void WindowTop::attachList(MainContent& content) {
    content.heroArea()->addWidget(hero_);
    auto* running = new RunningNowSection(store_.vitals());
    content.setRunningNow(running);
    connect(&content, &MainContent::cleanRequested, this, &WindowTop::askToConfirm);
    connect(&content, &MainContent::detailsRequested, this, &WindowTop::openDetails);
    QPointer<QWidget> section(running);
    connect(this, &WindowTop::showRunningRequested, &content, [&content, section] {
        if (content.refreshPending()) content.refreshNow();
        if (section) content.list()->scrollArea()->verticalScrollBar()->setValue(section->y());
    });
}

std::unique_ptr<MainWindowFrame> makeMainWindow(Store& store, Settings& settings,
                                                MainWindowFrame::Hooks hooks,
                                                WindowTop::SheetSources sources) {
    auto window = std::make_unique<MainWindowFrame>(store, std::move(hooks));
    // Made inside the window, so that they take their sizes in its skin from the start.
    auto* top = new WindowTop(store, settings, window.get(), std::move(sources), window.get());
    auto* content = new MainContent(store, settings, {}, window.get());
    window->setTop(top);
    window->setContent(content);
    top->attachList(*content);
    return window;
}

void WindowTop::openDetails(const ListPlan::DetailsRequest& request) {
    if (details_) return; // one details sheet at a time
    details_ = Sheets::openDetails(window_, store_, request.category.id, request.everyApp);
    // Without a sheet the category left the list meanwhile: there is nothing to show.
    if (!details_) return;
    detailsFor_ = request;
    emit detailsForChanged();
    connect(details_, &QDialog::finished, this, [this] {
        detailsFor_.reset();
        emit detailsForChanged();
    });
}

void WindowTop::openSchedule() {
    if (schedule_) return;
    auto* sheet = new ScheduleSheet(
        store_, settings_, [this](QWidget* over) { Sheets::openHistory(over, store_); }, window_);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(sheet, &QDialog::finished, this, [this] {
        showSchedule_ = false;
        emit sheetsChanged();
    });
    schedule_ = sheet;
    sheet->open();
}

void WindowTop::openMemoryUsers() {
    if (memoryUsers_) return;
    memoryUsers_ = sources_.memory ? Sheets::openMemoryUsers(window_, store_, sources_.memory())
                                   : Sheets::openMemoryUsers(window_, store_);
    connect(memoryUsers_, &QDialog::finished, this, [this] {
        showMemoryUsers_ = false;
        emit sheetsChanged();
    });
}

void WindowTop::openMaintenance() {
    if (maintenance_) return;
    // The sheet clears the store's flag when it closes.
    maintenance_ = sources_.maintenance
                       ? Sheets::openMaintenance(window_, store_, sources_.maintenance())
                       : Sheets::openMaintenance(window_, store_);
}

void WindowTop::startUp() {
    store_.setHasFullDiskAccess(store_.probeFullDiskAccess());
    const bool skipped = settings_.boolean(SettingsKeys::skippedFullDiskAccess).value_or(false);
    switch (MainActions::startUp(store_.hasFullDiskAccess(), skipped, store_.lastScan().has_value(),
                                 store_.scanningAll())) {
    case MainActions::StartUp::showAccessSetup:
        setShowAccessSetup(true);
        break;
    case MainActions::StartUp::scan:
        store_.scanAll();
        break;
    case MainActions::StartUp::nothing:
        break;
    }
}

void WindowTop::becameActive() {
    store_.setHasFullDiskAccess(store_.probeFullDiskAccess());
}

void WindowTop::showRunning() {
    settings_.set(SettingsKeys::levelFilter, std::string());
    QMetaObject::invokeMethod(
        this, [this] { emit showRunningRequested(); }, Qt::QueuedConnection);
}

void WindowTop::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) startUp();
}

} // namespace bramwick
