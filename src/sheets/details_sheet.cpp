#include "sheets/details_sheet.h"

#include <filesystem>
#include <numeric>

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "appearance/button_style.h"
#include "appearance/confirm_card.h"
#include "appearance/icons.h"
#include "appearance/labels.h"
#include "appearance/skin.h"
#include "appearance/tiles.h"
#include "appearance/window_dressing.h"
#include "sheets/folder_dialog.h"
#include "sheets/item_table.h"
#include "sheets/sheet_frame.h"
#include "sheets/sheet_rules.h"
#include "sheets/sheets.h"
#include "sheets/unused_days.h"
#include "store/store.h"
#include "store/to_qstring.h"

namespace bramwick {

namespace {

std::int64_t sizeOf(const std::vector<ScanItem>& items) {
    return std::accumulate(items.begin(), items.end(), std::int64_t{0},
                           [](std::int64_t sum, const ScanItem& item) { return sum + item.size; });
}

} // namespace

DetailsSheet::DetailsSheet(Store& store, CleanupCategory category, bool everyApp, QWidget* parent)
    : QWidget(parent), store_(store), category_(std::move(category)), everyApp_(everyApp) {
    setObjectName("detailsSheet");
    const std::string user = qEnvironmentVariable("USER").toStdString();
    mountParents_ = {"/media/" + user, "/run/media/" + user, "/media", "/mnt"};
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);

    // The header.
    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    header->addWidget(new SheetSymbol(category_.symbol, 28,
                                      [](const QWidget* w) {
                                          return Skins::palette(skinOf(w), w->palette()).accent;
                                      }),
                      0, Qt::AlignTop);
    auto* text = new QVBoxLayout;
    text->setSpacing(4);
    auto* name = new SheetText(toQString(category_.name), TextStyle::title2,
                               SheetText::Tone::primary, QFont::Bold);
    name->setObjectName("categoryName");
    text->addWidget(name);
    const Level level = category_.level();
    const auto badge = SheetRules::levelBadge(level);
    auto* levelRow = new QHBoxLayout;
    levelRow->setSpacing(4);
    auto levelColor = [level](const QWidget* w) {
        return Skins::palette(skinOf(w), w->palette()).level(level);
    };
    levelRow->addWidget(new SheetSymbol(badge.symbol, 14, levelColor));
    auto* levelTitle = new SheetText(toQString(badge.title), TextStyle::callout,
                                     SheetText::Tone::primary, QFont::DemiBold);
    levelTitle->setObjectName("levelTitle");
    levelTitle->setTint(levelColor); // in the level's colour, as its symbol
    levelRow->addWidget(levelTitle);
    levelRow->addStretch(1);
    text->addLayout(levelRow);
    auto* info =
        new SheetText(toQString(category_.info), TextStyle::body, SheetText::Tone::secondary);
    info->setWordWrap(true);
    info->setObjectName("categoryInfo");
    text->addWidget(info);
    if (SheetRules::isApplications(category_)) {
        auto* days = new UnusedDaysSummary(store_, TextStyle::body);
        days->setContentsMargins(0, 2, 0, 0);
        text->addWidget(days);
    }
    if (category_.source.kind == Source::Kind::applications) {
        auto* every = new QCheckBox(QStringLiteral("Show every installed app"));
        every->setObjectName("showEveryApp");
        every->setToolTip(
            QStringLiteral("Uninstall works on any app, not only the ones you haven't opened "
                           "lately"));
        every->setChecked(everyApp_);
        connect(every, &QCheckBox::toggled, this, [this](bool on) {
            everyApp_ = on;
            reload();
        });
        text->addWidget(every);
    }
    if (category_.action.kind == CleanAction::Kind::reviewOnly &&
        !category_.action.advice.empty()) {
        auto* advice = new QHBoxLayout;
        advice->setSpacing(6);
        advice->addWidget(
            new SheetSymbol("lightbulb", 14,
                            [](const QWidget* w) {
                                return Skins::palette(skinOf(w), w->palette()).secondaryText;
                            }),
            0, Qt::AlignTop);
        auto* adviceText = new SheetText(toQString(category_.action.advice), TextStyle::body);
        adviceText->setWordWrap(true);
        adviceText->setObjectName("advice");
        advice->addWidget(adviceText, 1);
        text->addLayout(advice);
    }
    header->addLayout(text, 1);
    layout->addLayout(header);

    // The table.
    model_ = new ItemTableModel(category_, this);
    table_ = new ItemTable(model_);
    layout->addWidget(table_, 1);
    connect(table_, &ItemTable::selectionChangedByIds, this, [this] { refreshFooter(); });
    connect(table_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { showRowMenu(at); });
    connect(table_, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex&) { store_.reveal(selected()); });

    layout->addWidget(new SheetReportBanner(store_));

    // The footer.
    buttons_ = new QHBoxLayout;
    summary_ = new SheetText({}, TextStyle::body, SheetText::Tone::secondary);
    summary_->setObjectName("summary");
    buttons_->addWidget(summary_);
    buttons_->addStretch(1);
    const SheetRules::DetailsFooterState initial;
    for (const auto& spec : SheetRules::detailsFooter(category_, initial)) {
        auto* button = sheetButton(toQString(spec.title), toQString(spec.id));
        if (!spec.tooltip.empty()) button->setToolTip(toQString(spec.tooltip));
        if (spec.look == SheetRules::FooterButton::Look::prominent) {
            if (spec.redTint)
                tintButton(button, *spec.redTint);
            else
                skinPill(button, true, false);
        }
        footer_.push_back(button);
        buttons_->addWidget(button);
        const std::string id = spec.id;
        connect(button, &QPushButton::clicked, this, [this, id] {
            if (id == "selectAll")
                table_->selectAllItems();
            else if (id == "revealSelected")
                store_.reveal(selected());
            else if (id == "done")
                closeSheet(this);
            else if (id == "cleanSelected")
                requestClean();
            else if (id == "moveSelected" || id == "moveTo")
                chooseDestination();
            else if (id == "uninstall") {
                const auto chosen = selected();
                if (!chosen.empty()) lookForLeftovers(chosen.front());
            }
        });
    }
    layout->addLayout(buttons_);

    overlay_ = new WorkingOverlay(QStringLiteral("Working\u2026"), this);
    confirm_ = new ConfirmPresenter(this);
    confirm_->hide();

    connect(&store_, &Store::categoryStateChanged, this, [this](const QString& id) {
        if (id.toStdString() == category_.id) reload();
    });
    connect(&store_, &Store::allApplicationsChanged, this, [this] {
        if (everyApp_) reload();
    });
    StoreUninstalls& uninstalls = store_.uninstalls();
    connect(&uninstalls, &StoreUninstalls::findingLeftoversChanged, this,
            [this] { refreshFooter(); });
    connect(&uninstalls, &StoreUninstalls::planChanged, this, [this] { followUninstall(); });
    connect(&uninstalls, &StoreUninstalls::uninstallingChanged, this,
            [this] { followUninstall(); });
    reload();
}

DetailsSheet::~DetailsSheet() {
    // The uninstall sheet among the children clears the store's plan as it goes, after this
    // object has stopped being a DetailsSheet: nothing of the store may call back in here.
    disconnect(&store_, nullptr, this, nullptr);
    disconnect(&store_.uninstalls(), nullptr, this, nullptr);
}

ItemList DetailsSheet::items() const {
    return store_.listed(category_, everyApp_);
}

std::vector<ScanItem> DetailsSheet::selected() const {
    return table_->selected();
}

bool DetailsSheet::cleaning() const {
    const auto* state = store_.state(category_.id);
    return state && state->cleaning;
}

void DetailsSheet::reload() {
    // Most changes of the category are of its flags, and leave the table its very list; a
    // rescan that found the same items leaves its rows as they are.
    ItemList now = items();
    if (!now.sameList(model_->list())) {
        if (now == model_->list())
            model_->keepEqual(std::move(now));
        else
            model_->setItems(std::move(now));
    }
    overlay_->setShown(cleaning());
    refreshFooter();
}

void DetailsSheet::refreshFooter() {
    const auto chosen = table_->selectedTally();
    const bool empty = chosen.count == 0;
    summary_->setText(toQString(
        empty ? SheetRules::detailsSummary(true, model_->items().size(), sizeOf(model_->items()))
              : SheetRules::detailsSummary(false, chosen.count, chosen.bytes)));
    SheetRules::DetailsFooterState state;
    state.selectionEmpty = empty;
    state.exactlyOne = chosen.count == 1;
    state.cleaning = cleaning();
    state.findingLeftovers = store_.uninstalls().findingLeftovers().has_value();
    const auto specs = SheetRules::detailsFooter(category_, state);
    for (std::size_t i = 0; i < specs.size() && i < footer_.size(); ++i) {
        footer_[i]->setEnabled(specs[i].enabled);
        footer_[i]->setText(toQString(specs[i].title));
    }
    followCleanCard();
}

void DetailsSheet::requestClean() {
    const auto list = selected();
    if (list.empty() || cleaning()) return;
    confirm_->present(toQString(SheetRules::cleanTitle(list.size())),
                      toQString(SheetRules::cleanMessage(category_, sizeOf(list))),
                      QStringLiteral("Clean"), category_.risk == Risk::danger, [this] {
                          // What is selected now: a rescan may have taken items away.
                          const auto list = selected();
                          if (list.empty() || cleaning()) return;
                          table_->setSelection({});
                          auto cleaning = store_.cleanStillListed(category_, list, everyApp_);
                      });
    followCleanCard();
}

void DetailsSheet::followCleanCard() {
    ConfirmCard* card = confirm_ ? confirm_->card() : nullptr;
    if (!card) return;
    // The card speaks of the selection as it is now; a rescan (the automatic clean, a full
    // scan) may have taken some of it, or all of it, away.
    const auto list = selected();
    if (list.empty()) {
        confirm_->clear();
        return;
    }
    card->setTitle(toQString(SheetRules::cleanTitle(list.size())));
    card->setMessage(toQString(SheetRules::cleanMessage(category_, sizeOf(list))));
    // Another clean of the category runs: it has to end before this one may start.
    card->confirmButton()->setEnabled(!cleaning());
}

void DetailsSheet::chooseDestination() {
    if (moveDialog_) return;
    auto* dialog = new FolderDialog(this);
    dialog->setObjectName("moveDialog");
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setLabelText(QFileDialog::Accept, QStringLiteral("Move Here"));
    dialog->setWindowTitle(
        QStringLiteral("Items are copied here, then removed from this computer."));
    const auto start = SheetRules::moveDialogStart(mountParents_, [](const std::string& path) {
        std::error_code error;
        return std::filesystem::exists(path, error);
    });
    if (start) dialog->setDirectory(toQString(*start));
    // The selection as it is when the folder is chosen: a rescan may have taken it away, and a
    // clean that started on the category meanwhile has to end first.
    dialog->setRefusal(
        [this] { return SheetRules::moveRefusal(category_.name, selected().size(), cleaning()); });
    connect(dialog, &QFileDialog::accepted, this, [this, dialog] {
        const std::string destination = dialog->chosen();
        const auto list = selected();
        if (destination.empty() || list.empty() || cleaning()) return;
        table_->setSelection({});
        auto moving = store_.move(category_, list, destination);
    });
    moveDialog_ = dialog;
    dialog->open();
}

void DetailsSheet::lookForLeftovers(const ScanItem& app) {
    if (store_.uninstalls().findingLeftovers()) return;
    auto finding = store_.uninstalls().findLeftovers(app);
}

void DetailsSheet::showRowMenu(const QPoint& at) {
    const QModelIndex index = table_->indexAt(at);
    if (!index.isValid()) return;
    const auto rows = table_->rowsForMenu(index.row());
    if (rows.empty()) return;
    const ScanItem* single = rows.size() == 1 ? &rows.front() : nullptr;
    auto* menu = new QMenu(this);
    menu->setObjectName("rowMenu");
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const auto& entry : SheetRules::rowMenu(category_, rows.size(), single)) {
        // An application's name as written: "&" is no shortcut mark.
        auto* action = menu->addAction(literalButtonText(toQString(entry.title)));
        if (entry.kind == SheetRules::MenuEntry::Kind::reveal)
            connect(action, &QAction::triggered, this, [this, rows] { store_.reveal(rows); });
        else
            connect(action, &QAction::triggered, this, [this, app = rows.front()] {
                auto finding = store_.uninstalls().findLeftovers(app);
            });
    }
    menu->popup(table_->viewport()->mapToGlobal(at));
}

void DetailsSheet::followUninstall() {
    const auto& plan = store_.uninstalls().plan();
    if (!plan) {
        if (uninstallSheet_) uninstallSheet_->close();
        return;
    }
    if (uninstallSheet_) {
        if (uninstallPlan_ == plan->id) return;
        // The open sheet shows its uninstall to the end; the newer plan follows it.
        if (store_.uninstalls().uninstalling()) return;
        uninstallSheet_->close();
    }
    uninstallPlan_ = plan->id;
    SheetDialog* sheet = Sheets::openUninstall(this, store_.uninstalls(), *plan,
                                               [this] { table_->setSelection({}); });
    uninstallSheet_ = sheet;
    // A sheet closed (by Escape, say) is no longer this one's to close: its content lets go of
    // the plan only while its dialog is being destroyed, which must not be touched then.
    connect(sheet, &QDialog::finished, this, [this, sheet] {
        if (uninstallSheet_.get() == sheet) uninstallSheet_.clear();
    });
}

} // namespace bramwick
