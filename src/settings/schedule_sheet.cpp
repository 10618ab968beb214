#include "settings/schedule_sheet.h"

#include <algorithm>

#include <QFormLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "appearance/typography.h"
#include "appearance/window_dressing.h"
#include "base/text.h"
#include "engine/auto_clean.h"
#include "engine/settings_keys.h"
#include "settings/save_notice.h"
#include "settings/settings_pages.h"
#include "settings/settings_plan.h"
#include "store/to_qstring.h"

namespace bramwick {

namespace {

// A category's name beside its switch, as written ("&" is no shortcut mark, which a label with a
// buddy would take it for); a click on it flips the switch, as a click on the switch's own text
// would.
class SwitchName : public QLabel {
  public:
    SwitchName(const QString& name, QCheckBox* toggle, QWidget* parent)
        : QLabel(name, parent), toggle_(toggle) {
        setTextFormat(Qt::PlainText);
        setCursor(Qt::PointingHandCursor);
    }

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
            toggle_->isEnabled())
            toggle_->click();
        QLabel::mouseReleaseEvent(event);
    }

  private:
    QCheckBox* toggle_;
};

std::int64_t foundBytes(const Store& store, const std::string& id) {
    auto state = store.states().find(id);
    if (state == store.states().end()) return 0;
    std::int64_t total = 0;
    for (const auto& item : state->second.items)
        total += item.size;
    return total;
}

} // namespace

ScheduleSheet::ScheduleSheet(Store& store, Settings& settings,
                             std::function<void(QWidget*)> openHistory, QWidget* parent)
    : QDialog(parent), store_(store), settings_(settings), openHistory_(std::move(openHistory)),
      excluded_(AutoClean::excluded(settings)) {
    setObjectName(QStringLiteral("scheduleSheet"));
    setWindowTitle(QStringLiteral("Scheduled clean"));
    setWindowModality(Qt::WindowModal);
    setMinimumSize(480, 560);
    // Dressed like every window, on the skin's backdrop, and following the stored skin.
    SkinScene::attach(this);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* body = new SkinBackdrop(this);
    outer->addWidget(body);

    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(14);
    auto* title = new QLabel(QStringLiteral("Scheduled clean"), this);
    title->setFont(textFont(TextStyle::title2, QFont::Bold));
    column->addWidget(title);

    saveNotice_ = new SaveNotice(settings_, this);
    saveNotice_->setObjectName(QStringLiteral("sheetSaveNotice"));

    auto* form = new QFormLayout;
    column->addLayout(form);
    schedule_ = new QComboBox(this);
    schedule_->setObjectName(QStringLiteral("sheetSchedule"));
    for (auto schedule : AutoClean::allSchedules)
        schedule_->addItem(toQString(AutoClean::title(schedule)),
                           toQString(AutoClean::rawValue(schedule)));
    form->addRow(QStringLiteral("Clean automatically"), schedule_);
    connect(schedule_, &QComboBox::activated, this, [this](int index) {
        saveNotice_->check(
            AutoClean::setSchedule(AutoClean::allSchedules[std::size_t(index)], settings_));
    });
    time_ = new QTimeEdit(this);
    time_->setObjectName(QStringLiteral("sheetTime"));
    time_->setDisplayFormat(QStringLiteral("HH:mm"));
    time_->setTime(QTime(int(std::clamp<std::int64_t>(AutoClean::hour(settings_), 0, 23)),
                         int(std::clamp<std::int64_t>(AutoClean::minute(settings_), 0, 59))));
    form->addRow(QStringLiteral("At"), time_);
    timeLabel_ = form->labelForField(time_);
    connect(time_, &QTimeEdit::timeChanged, this, [this](QTime time) {
        saveNotice_->check(AutoClean::setTimeOfDay(time.hour(), time.minute(), settings_));
    });
    next_ = new QLabel(this);
    next_->setObjectName(QStringLiteral("sheetNextClean"));
    next_->setForegroundRole(QPalette::PlaceholderText);
    form->addRow(QStringLiteral("Next clean"), next_);
    nextLabel_ = form->labelForField(next_);
    onLowSpace_ = new QCheckBox(this);
    onLowSpace_->setObjectName(QStringLiteral("sheetOnLowSpace"));
    form->addRow(onLowSpace_);
    connect(onLowSpace_, &QCheckBox::clicked, this, [this](bool on) {
        saveNotice_->check(settings_.set(SettingsKeys::autoCleanOnLowSpace, on));
    });
    notify_ = new QCheckBox(QStringLiteral("Notify me afterwards"), this);
    notify_->setObjectName(QStringLiteral("sheetNotify"));
    form->addRow(notify_);
    connect(notify_, &QCheckBox::clicked, this, [this](bool on) {
        saveNotice_->check(settings_.set(SettingsKeys::autoCleanNotify, on));
    });

    auto* header = new QLabel(QStringLiteral("What it may clean"), this);
    header->setFont(textFont(TextStyle::headline));
    column->addWidget(header);
    column->addWidget(settingsCaption(
        QStringLiteral("Only Safe to Remove categories \u2014 caches, logs and build data that "
                       "come back on their own. Never your files, never anything needing your "
                       "password, and never the Trash."),
        this));

    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* list = new QWidget(scroll);
    list_ = list;
    auto* rows = new QVBoxLayout(list);
    rows->setSpacing(6);
    for (const auto& category : SettingsPlan::scheduleCandidates(store_.categories())) {
        auto* row = new QHBoxLayout;
        auto* toggle = new QCheckBox(list);
        toggle->setObjectName(QStringLiteral("sheetTake-") + toQString(category.id));
        auto* texts = new QVBoxLayout;
        texts->setSpacing(1);
        auto* name = new SwitchName(toQString(category.name), toggle, list);
        name->setObjectName(QStringLiteral("sheetName-") + toQString(category.id));
        auto* size = settingsCaption(QString(), list);
        size->setObjectName(QStringLiteral("sheetSize-") + toQString(category.id));
        texts->addWidget(name);
        texts->addWidget(size);
        row->addWidget(toggle, 0, Qt::AlignTop);
        row->addLayout(texts, 1);
        rows->addLayout(row);
        switches_[category.id] = toggle;
        sizes_[category.id] = size;
        std::string id = category.id;
        connect(toggle, &QCheckBox::clicked, this, [this, id](bool on) {
            if (on)
                excluded_.erase(id);
            else
                excluded_.insert(id);
            writeExcluded();
        });
    }
    rows->addStretch(1);
    scroll->setWidget(list);
    dressScrollArea(scroll, skinOf(this));
    column->addWidget(scroll, 1);
    column->addWidget(saveNotice_);

    auto* footer = new QHBoxLayout;
    auto* history = new QPushButton(QStringLiteral("History\u2026"), this);
    history->setObjectName(QStringLiteral("sheetHistory"));
    history->setAutoDefault(false);
    connect(history, &QPushButton::clicked, this, [this] {
        if (openHistory_) openHistory_(this);
    });
    allBackOn_ = new QPushButton(QStringLiteral("Turn all back on"), this);
    allBackOn_->setObjectName(QStringLiteral("sheetAllBackOn"));
    allBackOn_->setAutoDefault(false);
    connect(allBackOn_, &QPushButton::clicked, this, [this] {
        excluded_.clear();
        writeExcluded();
    });
    auto* done = new QPushButton(QStringLiteral("Done"), this);
    done->setObjectName(QStringLiteral("sheetDone"));
    done->setDefault(true);
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    footer->addWidget(history);
    footer->addWidget(allBackOn_);
    footer->addStretch(1);
    footer->addWidget(done);
    column->addLayout(footer);

    token_ = settings_.subscribe([this](const std::string&) {
        QMetaObject::invokeMethod(this, &ScheduleSheet::refresh, Qt::QueuedConnection);
    });
    connect(&store_, &Store::statesChanged, this, &ScheduleSheet::refresh);
    refresh();
}

ScheduleSheet::~ScheduleSheet() {
    settings_.unsubscribe(token_);
}

void ScheduleSheet::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    // A dressed scroll area clears its base colour so the backdrop shows through; the
    // switches in it keep the window's, or their boxes would vanish.
    if (event->type() == QEvent::PaletteChange && list_) {
        QPalette palette = list_->palette();
        palette.setColor(QPalette::Base, this->palette().color(QPalette::Base));
        list_->setPalette(palette);
    }
}

void ScheduleSheet::writeExcluded() {
    saveNotice_->check(AutoClean::setExcluded(excluded_, settings_));
    refresh();
}

void ScheduleSheet::refresh() {
    QSignalBlocker a(schedule_), b(onLowSpace_), c(notify_);
    std::string raw = settings_.string(SettingsKeys::autoCleanSchedule).value_or("off");
    auto index = SettingsPlan::scheduleIndex(raw);
    schedule_->setCurrentIndex(index ? int(*index) : -1);
    bool showsTime = SettingsPlan::showsTime(raw);
    time_->setVisible(showsTime);
    timeLabel_->setVisible(showsTime);
    auto due = showsTime ? AutoClean::nextDue(settings_) : std::nullopt;
    next_->setVisible(due.has_value());
    nextLabel_->setVisible(due.has_value());
    if (due) next_->setText(toQString(SettingsPlan::nextCleanText(*due)));
    onLowSpace_->setText(QStringLiteral("Also when free space drops below ") +
                         toQString(SettingsPlan::gigabytes(AutoClean::lowSpaceGB(settings_))));
    onLowSpace_->setChecked(AutoClean::onLowSpace(settings_));
    notify_->setChecked(AutoClean::notify(settings_));
    for (auto& [id, toggle] : switches_) {
        QSignalBlocker block(toggle);
        toggle->setChecked(!excluded_.contains(id));
        sizes_[id]->setText(toQString(Text::byteCount(foundBytes(store_, id))));
    }
    allBackOn_->setVisible(!excluded_.empty());
}

} // namespace bramwick
