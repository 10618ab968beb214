#include "sheets/uninstall_sheet.h"

#include <QCheckBox>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QVBoxLayout>

#include "appearance/confirm_card.h"
#include "appearance/labels.h"
#include "appearance/tiles.h"
#include "appearance/window_dressing.h"
#include "base/edition.h"
#include "base/text.h"
#include "sheets/sheet_frame.h"
#include "sheets/sheet_rules.h"
#include "store/store_uninstalls.h"
#include "store/to_qstring.h"

namespace bramwick {

namespace {

QColor orange(const QWidget* widget) {
    return systemColor(SystemColor::orange, isDark(widget->palette()));
}

// The orange strip that warns about a running application.
class RunningBanner : public QWidget {
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), 8, 8);
        painter.fillPath(path, withOpacity(orange(this), 0.12));
    }
};

} // namespace

UninstallSheet::UninstallSheet(StoreUninstalls& uninstalls, UninstallPlan plan,
                               std::function<void()> onFinish, QWidget* parent)
    : QWidget(parent), uninstalls_(uninstalls), plan_(std::move(plan)),
      onFinish_(std::move(onFinish)) {
    setObjectName("uninstallSheet");
    const QString name = toQString(plan_.app.name);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(14);

    // The header.
    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    const QIcon fileIcon = QFileIconProvider().icon(QFileInfo(toQString(plan_.app.url)));
    if (!fileIcon.isNull() && !fileIcon.availableSizes().isEmpty()) {
        auto* icon = new QLabel;
        icon->setPixmap(fileIcon.pixmap(56, 56));
        icon->setFixedSize(56, 56);
        header->addWidget(icon, 0, Qt::AlignTop);
    } else {
        header->addWidget(new SheetSymbol("square.grid.3x3", 48,
                                          [](const QWidget* w) {
                                              return Skins::palette(skinOf(w), w->palette()).accent;
                                          }),
                          0, Qt::AlignTop);
    }
    auto* lines = new QVBoxLayout;
    lines->setSpacing(3);
    lines->addWidget(new SheetText(QStringLiteral("Uninstall %1").arg(name), TextStyle::title2,
                                   SheetText::Tone::primary, QFont::Bold));
    auto* subtitle = new SheetText(toQString(SheetRules::uninstallSubtitle(plan_, Edition::home())),
                                   TextStyle::callout, SheetText::Tone::secondary);
    subtitle->setObjectName("uninstallSubtitle");
    subtitle->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lines->addWidget(subtitle);
    auto* summary = new SheetText(toQString(SheetRules::uninstallSummary(plan_)), TextStyle::body,
                                  SheetText::Tone::secondary);
    summary->setObjectName("uninstallSummary");
    summary->setWordWrap(true);
    lines->addWidget(summary);
    header->addLayout(lines, 1);
    layout->addLayout(header);

    if (plan_.isSystemApp) {
        auto* refusal = new QHBoxLayout;
        refusal->addWidget(new SheetSymbol("lock.shield.fill", 14, [](const QWidget* w) {
            return Skins::palette(skinOf(w), w->palette()).secondaryText;
        }));
        auto* text = new SheetText(
            QStringLiteral("This is part of the system. Bramwick won't uninstall it."),
            TextStyle::body, SheetText::Tone::secondary);
        text->setObjectName("systemAppRefusal");
        refusal->addWidget(text, 1);
        layout->addLayout(refusal);
        layout->addStretch(1);
    } else {
        if (plan_.isRunning) {
            auto* banner = new RunningBanner;
            banner->setObjectName("runningBanner");
            auto* row = new QHBoxLayout(banner);
            row->setContentsMargins(10, 10, 10, 10);
            row->addWidget(new SheetSymbol("exclamationmark.triangle.fill", 14, orange));
            auto* warning = new SheetText(
                QStringLiteral(
                    "%1 is running. Quit it first, or the system may put its files back.")
                    .arg(name),
                TextStyle::body);
            warning->setTint(systemColor(SystemColor::orange, false));
            warning->setWordWrap(true);
            row->addWidget(warning, 1);
            auto* quit =
                sheetButton(literalButtonText(QStringLiteral("Quit %1").arg(name)), "quitApp");
            connect(quit, &QPushButton::clicked, this, [this] { uninstalls_.quit(plan_.app); });
            row->addWidget(quit);
            layout->addWidget(banner);
        }

        // The leftovers.
        auto* listHead = new QWidget;
        listHead->setObjectName("leftoverHeader");
        auto* head = new QHBoxLayout(listHead);
        head->setContentsMargins(0, 0, 0, 0);
        head->addWidget(new SheetText(QStringLiteral("Leftovers"), TextStyle::headline));
        head->addStretch(1);
        auto* all = sheetButton(QStringLiteral("Select All"), "selectAll");
        auto* none = sheetButton(QStringLiteral("Select None"), "selectNone");
        connect(all, &QPushButton::clicked, this, [this] {
            std::set<std::string> ids;
            for (const auto& leftover : plan_.leftovers)
                ids.insert(leftover.id);
            setChosen(std::move(ids));
        });
        connect(none, &QPushButton::clicked, this, [this] { setChosen({}); });
        head->addWidget(all);
        head->addWidget(none);
        listHead->setEnabled(!plan_.leftovers.empty());
        layout->addWidget(listHead);

        auto* scroll = new QScrollArea;
        scroll->setObjectName("leftoverList");
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        auto* rows = new QWidget;
        auto* rowsLayout = new QVBoxLayout(rows);
        rowsLayout->setContentsMargins(0, 0, 0, 0);
        rowsLayout->setSpacing(0);

        auto* appRow = new SkinRow;
        appRow->setObjectName("appRow");
        appRow->setToolTip(QStringLiteral("Always removed \u2014 it is what you are uninstalling"));
        auto* appLayout = new QHBoxLayout(appRow);
        appLayout->setContentsMargins(16, 8, 16, 8);
        appLayout->addWidget(new SheetSymbol("checkmark.square.fill", 14, [](const QWidget* w) {
            return Skins::palette(skinOf(w), w->palette()).secondaryText;
        }));
        appLayout->addWidget(
            new SheetText(name, TextStyle::body, SheetText::Tone::primary, QFont::Bold));
        appLayout->addWidget(new SheetText(QStringLiteral("The app itself"), TextStyle::body,
                                           SheetText::Tone::secondary));
        appLayout->addStretch(1);
        auto* appSize = new SheetText(toQString(Text::byteCount(plan_.app.size)), TextStyle::body,
                                      SheetText::Tone::secondary);
        appLayout->addWidget(appSize);
        rowsLayout->addWidget(appRow);

        for (const auto& leftover : plan_.leftovers) {
            auto* row = new SkinRow;
            row->setObjectName("leftoverRow");
            row->setToolTip(toQString(leftover.id));
            auto* line = new QHBoxLayout(row);
            line->setContentsMargins(16, 6, 16, 6);
            line->setSpacing(8);
            auto* check = new QCheckBox;
            check->setObjectName(toQString("leftover:" + leftover.id));
            connect(check, &QCheckBox::toggled, this, [this, id = leftover.id](bool on) {
                auto next = chosen_;
                if (on)
                    next.insert(id);
                else
                    next.erase(id);
                if (next != chosen_) setChosen(std::move(next));
            });
            switches_.push_back(check);
            line->addWidget(check);
            auto* text = new QVBoxLayout;
            text->setSpacing(1);
            auto* kindRow = new QHBoxLayout;
            kindRow->setSpacing(6);
            kindRow->addWidget(new SheetText(toQString(leftover.kind), TextStyle::body));
            if (leftover.ownership == AppLeftover::Ownership::system) {
                auto* permanent = new SheetText(
                    QStringLiteral("needs your password \u00b7 permanent"), TextStyle::caption);
                permanent->setObjectName("needsPassword");
                permanent->setTint(systemColor(SystemColor::orange, false));
                kindRow->addWidget(permanent);
            }
            kindRow->addStretch(1);
            text->addLayout(kindRow);
            auto* path = new SheetText({}, TextStyle::caption, SheetText::Tone::secondary);
            path->setObjectName("leftoverPath");
            const QString shortened = toQString(Text::homeShortened(leftover.id, Edition::home()));
            path->setElidedText(shortened, Qt::ElideMiddle);
            text->addWidget(path);
            line->addLayout(text, 1);
            auto* size = new SheetText(toQString(Text::byteCount(leftover.size)), TextStyle::body,
                                       SheetText::Tone::secondary);
            line->addWidget(size);
            rowsLayout->addWidget(row);
        }
        rowsLayout->addStretch(1);
        scroll->setWidget(rows);
        dressScrollArea(scroll, skinOf(this));
        layout->addWidget(scroll, 1);

        if (!plan_.kept.empty()) {
            auto* kept = new QVBoxLayout;
            kept->setSpacing(3);
            auto* keptHead = new QHBoxLayout;
            keptHead->addWidget(new SheetSymbol("lock.fill", 13, [](const QWidget* w) {
                return w->palette().color(QPalette::WindowText);
            }));
            keptHead->addWidget(new SheetText(QStringLiteral("Left alone"), TextStyle::headline));
            keptHead->addStretch(1);
            kept->addLayout(keptHead);
            for (const auto& place : plan_.kept) {
                auto* line = new SheetText(toQString(place.path + " \u2014 " + place.reason),
                                           TextStyle::caption, SheetText::Tone::secondary);
                line->setObjectName("keptLine");
                line->setWordWrap(true);
                kept->addWidget(line);
            }
            layout->addLayout(kept);
        }
    }

    // The footer.
    auto* footer = new QHBoxLayout;
    footer_ = new SheetText({}, TextStyle::body, SheetText::Tone::secondary);
    footer_->setObjectName("uninstallCount");
    footer->addWidget(footer_);
    footer->addStretch(1);
    auto* reveal = sheetButton(QStringLiteral("Show in File Manager"), "reveal");
    connect(reveal, &QPushButton::clicked, this, [this] { uninstalls_.reveal(plan_.app); });
    footer->addWidget(reveal);
    cancel_ = sheetButton(QStringLiteral("Cancel"), "cancel");
    connect(cancel_, &QPushButton::clicked, this, [this] {
        uninstalls_.setPlan(std::nullopt);
        closeSheet(this);
    });
    footer->addWidget(cancel_);
    uninstall_ = sheetButton(QStringLiteral("Uninstall"), "uninstall");
    tintButton(uninstall_, true);
    connect(uninstall_, &QPushButton::clicked, this, [this] { requestUninstall(); });
    footer->addWidget(uninstall_);
    layout->addLayout(footer);

    overlay_ = new WorkingOverlay(QStringLiteral("Uninstalling\u2026"), this);
    confirm_ = new ConfirmPresenter(this);
    confirm_->hide();

    // The store let go of this plan (the uninstall ended, or it was cancelled), or holds a
    // newer one: the sheet goes, though only once an uninstall running in it has ended.
    auto followStore = [this] {
        refresh();
        const auto& current = uninstalls_.plan();
        if (!uninstalls_.uninstalling() && (!current || current->id != plan_.id)) closeSheet(this);
    };
    connect(&uninstalls_, &StoreUninstalls::uninstallingChanged, this, followStore);
    connect(&uninstalls_, &StoreUninstalls::planChanged, this, followStore);

    // Every leftover starts chosen, system-owned ones too.
    std::set<std::string> all;
    for (const auto& leftover : plan_.leftovers)
        all.insert(leftover.id);
    setChosen(std::move(all));
}

UninstallSheet::~UninstallSheet() {
    // Closed some other way than Cancel (Escape, the window's close button): the plan goes too,
    // so the next lookup can show its own.
    const auto& current = uninstalls_.plan();
    if (current && current->id == plan_.id && !uninstalls_.uninstalling())
        uninstalls_.setPlan(std::nullopt);
}

std::vector<AppLeftover> UninstallSheet::picked() const {
    return SheetRules::pickedLeftovers(plan_, chosen_);
}

void UninstallSheet::setChosen(std::set<std::string> chosen) {
    chosen_ = std::move(chosen);
    for (std::size_t i = 0; i < switches_.size(); ++i) {
        const QSignalBlocker quiet(switches_[i]);
        switches_[i]->setChecked(chosen_.contains(plan_.leftovers[i].id));
    }
    refresh();
}

void UninstallSheet::refresh() {
    const auto list = picked();
    footer_->setText(toQString(
        SheetRules::uninstallFooter(list.size(), SheetRules::uninstallTotal(plan_, list))));
    const bool removing = uninstalls_.uninstalling();
    uninstall_->setEnabled(!plan_.isSystemApp && !removing);
    // Cancelling mid-removal would close the sheet on files half gone.
    cancel_->setEnabled(!removing);
    setProperty("keepOpen", removing);
    overlay_->setShown(removing);
}

void UninstallSheet::requestUninstall() {
    if (plan_.isSystemApp || uninstalls_.uninstalling()) return;
    const auto list = picked();
    confirm_->present(
        QStringLiteral("Uninstall %1?").arg(toQString(plan_.app.name)),
        toQString(SheetRules::uninstallConfirmMessage(SheetRules::uninstallTotal(plan_, list), list,
                                                      plan_.app.command.has_value())),
        QStringLiteral("Uninstall"), true, [this, list] {
            if (onFinish_) onFinish_();
            auto removing = uninstalls_.perform(plan_, list);
        });
}

} // namespace bramwick
