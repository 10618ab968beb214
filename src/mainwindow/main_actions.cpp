#include "mainwindow/main_actions.h"

#include <unordered_set>

#include <QApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QPointer>
#include <QSignalBlocker>
#include <QStyleOptionToolButton>

#include "appearance/icons.h"
#include "appearance/skin.h"
#include "base/text.h"
#include "engine/settings_keys.h"
#include "sheets/sheet_rules.h"
#include "store/to_qstring.h"

namespace bramwick {

namespace MainActions {

std::string confirmationTitle(const Confirmation& c) {
    if (c.kind == Confirmation::Kind::allSafe) return "Clean all safe categories?";
    return "Clean " + c.category.name + "?";
}

std::string confirmationMessage(const Confirmation& c, std::int64_t safeTotal,
                                const std::vector<std::string>& yours,
                                const StoreText::TrashContents& trash, std::int64_t toTrash) {
    if (c.kind == Confirmation::Kind::allSafe)
        return StoreText::allSafeWarning(safeTotal, yours, trash, toTrash);
    std::int64_t size = 0;
    for (const ScanItem& item : c.items)
        size += item.size;
    // "items" also for one: the count is what the user reads.
    return std::to_string(c.items.size()) + " items, " + Text::byteCount(size) + ".\n\n" +
           SheetRules::actionSentence(c.category.action);
}

std::int64_t safeCleanToTrash(const std::vector<CleanupCategory>& categories,
                              const std::map<std::string, Store::CategoryState>& states) {
    std::int64_t sum = 0;
    for (const CleanupCategory& category : categories) {
        if (category.action.kind != CleanAction::Kind::trash ||
            !Store::cleanedByCleanAllSafe(category))
            continue;
        const auto state = states.find(category.id);
        if (state == states.end()) continue;
        for (const ScanItem& item : state->second.items)
            if (!item.command) sum = StoreText::add(sum, item.size);
    }
    return sum;
}

bool confirmationDangerous(const Confirmation& c) {
    return c.kind == Confirmation::Kind::category && c.category.risk == Risk::danger;
}

std::optional<Confirmation> stillListed(const Confirmation& c,
                                        const std::vector<ScanItem>& listed) {
    std::unordered_set<std::string> asked;
    for (const ScanItem& item : c.items)
        asked.insert(item.id);
    Confirmation now = c;
    now.items.clear();
    for (const ScanItem& item : listed)
        if (asked.contains(item.id)) now.items.push_back(item);
    if (now.items.empty()) return std::nullopt;
    return now;
}

StartUp startUp(bool access, bool skippedAccessSetup, bool scannedBefore, bool scanningAll) {
    if (!access && !skippedAccessSetup) return StartUp::showAccessSetup;
    if (!scannedBefore && !scanningAll) return StartUp::scan;
    return StartUp::nothing;
}

std::optional<CleanupCategory> uninstallCategory(const std::vector<CleanupCategory>& categories) {
    for (const CleanupCategory& category : categories)
        if (category.source.kind == Source::Kind::applications) return category;
    return std::nullopt;
}

} // namespace MainActions

namespace {

// A tool button that opens a menu on its click with QMenu::popup, and so runs no event loop of
// its own as a button in Qt's own popup modes does (QMenu::exec). It is drawn with the arrow of a
// button that has a menu.
class MenuToolButton : public QToolButton {
  public:
    explicit MenuToolButton(QWidget* parent) : QToolButton(parent), menu_(new QMenu(this)) {
        connect(this, &QToolButton::clicked, this,
                [this] { menu_->popup(mapToGlobal(QPoint(0, height()))); });
    }
    QMenu* popupMenu() const { return menu_; }

  protected:
    void initStyleOption(QStyleOptionToolButton* option) const override {
        QToolButton::initStyleOption(option);
        option->features |= QStyleOptionToolButton::HasMenu;
    }

  private:
    QMenu* menu_;
};

QToolButton* toolButton(const char* name, const char* text, const char* symbol, const char* help,
                        QWidget* parent, QToolButton* made = nullptr) {
    auto* button = made ? made : new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(toQString(text));
    button->setIcon(Icons::icon(symbol, QColor(Qt::gray)));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    if (help) button->setToolTip(toQString(help));
    return button;
}

} // namespace

MainToolbar::MainToolbar(Store& store, Settings& settings, Actions actions, QWidget* parent)
    : QWidget(parent), store_(store), settings_(settings), actions_(std::move(actions)) {
    setObjectName(QStringLiteral("mainToolbar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 6, 16, 0);
    row->setSpacing(4);
    row->addStretch(1);

    hideEmpty_ = toolButton("toolbar-hide-empty", "Hide Empty", "eye.slash",
                            "Hide categories with nothing to clean", this);
    hideEmpty_->setCheckable(true);
    row->addWidget(hideEmpty_);
    connect(hideEmpty_, &QToolButton::toggled, this, [this](bool on) {
        if (on != ListPlan::readSettings(settings_).hideEmpty)
            settings_.set(SettingsKeys::hideEmpty, on);
    });
    arrange_ = new QButtonGroup(this);
    arrange_->setExclusive(true);
    const std::pair<ListPlan::Arrangement, const char*> arrangements[] = {
        {ListPlan::Arrangement::level, "By Level"},
        {ListPlan::Arrangement::group, "By Group"},
        {ListPlan::Arrangement::size, "By Size"}};
    for (const auto& [arrangement, label] : arrangements) {
        auto* button = new QToolButton(this);
        const std::string_view raw = ListPlan::rawValue(arrangement);
        button->setObjectName(QStringLiteral("toolbar-arrange-") + toQString(raw));
        button->setText(QString::fromLatin1(label));
        button->setAccessibleName(QStringLiteral("Arrange ") + QString::fromLatin1(label));
        button->setCheckable(true);
        button->setAutoRaise(true);
        arrange_->addButton(button, int(arrangement));
        row->addWidget(button);
    }
    connect(arrange_, &QButtonGroup::idClicked, this, [this](int id) {
        settings_.set(SettingsKeys::arrangement,
                      std::string(ListPlan::rawValue(ListPlan::Arrangement(id))));
    });
    // The settings may change on any thread; the switches are set on this one.
    QPointer<MainToolbar> self(this);
    subscription_ = settings_.subscribe([self](const std::string& key) {
        if (key != SettingsKeys::hideEmpty && key != SettingsKeys::arrangement) return;
        QMetaObject::invokeMethod(
            qApp,
            [self] {
                if (self) self->followSettings();
            },
            Qt::QueuedConnection);
    });
    followSettings();

    auto call = [](const std::function<void()>& action) {
        return [&action] {
            if (action) action();
        };
    };
    auto* uninstall = toolButton("toolbar-uninstall", "Uninstall an App", "trash.square",
                                 "Remove an app and everything it left behind", this);
    connect(uninstall, &QToolButton::clicked, this, call(actions_.uninstall));
    auto* maintenance =
        toolButton("toolbar-maintenance", "Maintenance", "wrench.and.screwdriver",
                   "Log rotation, local snapshots, DNS, Spotlight and the rest", this);
    connect(maintenance, &QToolButton::clicked, this, call(actions_.maintenance));
    auto* addFolder = new MenuToolButton(this);
    auto* add = toolButton("toolbar-add-folder", "Add Folder", "folder.badge.plus",
                           "Add a folder of your own to a tab", this, addFolder);
    QMenu* menu = addFolder->popupMenu();
    for (Level level : {Level::safe, Level::warning, Level::redFlag}) {
        QAction* action = menu->addAction(toQString(Levels::title(level)));
        action->setObjectName(QStringLiteral("add-folder-") + toQString(Levels::rawValue(level)));
        connect(action, &QAction::triggered, this, [this, level] {
            if (actions_.addFolder) actions_.addFolder(level);
        });
    }
    auto* schedule = toolButton("toolbar-schedule", "Schedule", "calendar.badge.clock",
                                "When the automatic clean runs, and what it may take", this);
    connect(schedule, &QToolButton::clicked, this, call(actions_.schedule));
    auto* rescan = toolButton("toolbar-rescan", "Rescan", "arrow.clockwise",
                              "Scan every category again", this);
    connect(rescan, &QToolButton::clicked, this, call(actions_.rescan));
    // The settings are reached from here too, since a desktop without a tray has no panel. The
    // gear alone stands for them, so the row still fits the window's least width; its text stays
    // its name for a screen reader.
    auto* openSettings =
        toolButton("toolbar-settings", "Settings", "gearshape",
                   "Settings (Ctrl+,): Open at Login, the automatic clean and the skin", this);
    openSettings->setToolButtonStyle(Qt::ToolButtonIconOnly);
    openSettings->setAccessibleName(QStringLiteral("Settings"));
    connect(openSettings, &QToolButton::clicked, this, call(actions_.settings));
    for (QToolButton* button : {uninstall, maintenance, add, schedule, rescan, openSettings})
        row->addWidget(button);
    connect(&store_, &Store::scanningAllChanged, this, &MainToolbar::follow);
    follow();
}

MainToolbar::~MainToolbar() {
    settings_.unsubscribe(subscription_);
}

void MainToolbar::followSettings() {
    const auto list = ListPlan::readSettings(settings_);
    const QSignalBlocker blockHide(hideEmpty_);
    hideEmpty_->setChecked(list.hideEmpty);
    if (auto* button = arrange_->button(int(list.arrangement))) {
        const QSignalBlocker blockButton(button);
        button->setChecked(true);
    }
}

QToolButton* MainToolbar::button(const char* objectName) const {
    return findChild<QToolButton*>(QString::fromLatin1(objectName));
}

void MainToolbar::follow() {
    button("toolbar-rescan")->setEnabled(!store_.scanningAll());
}

} // namespace bramwick
