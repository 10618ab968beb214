#include "settings/settings_pages.h"

#include <chrono>

#include <QFormLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "appearance/icons.h"
#include "appearance/typography.h"
#include "appearance/window_dressing.h"
#include "base/edition.h"
#include "engine/auto_clean.h"
#include "engine/folder_access.h"
#include "engine/settings_keys.h"
#include "settings/save_notice.h"
#include "settings/settings_plan.h"
#include "store/to_qstring.h"

namespace bramwick {

namespace {

QString named(const char* sentence) {
    return toQString(sentence).arg(toQString(Edition::displayName));
}

bool stored(const Settings& settings, const char* key, bool fallback) {
    return settings.boolean(key).value_or(fallback);
}

// A page of the tab view: a column of sections at the form's width, as tall as its content.
QWidget* makePage(QWidget* parent, QVBoxLayout*& column) {
    auto* page = new QWidget(parent);
    column = new QVBoxLayout(page);
    column->setContentsMargins(20, 12, 20, 16);
    column->setSpacing(8);
    return page;
}

QVBoxLayout* group(QVBoxLayout* column, int spacing) {
    auto* box = new QVBoxLayout;
    box->setSpacing(spacing);
    column->addLayout(box);
    return box;
}

} // namespace

QLabel* settingsCaption(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFont(textFont(TextStyle::caption));
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

namespace {

// A section header: its symbol and title in the accent of the skin the window is in now, also
// after the window changed skins.
class SettingsHeader : public QWidget {
  public:
    SettingsHeader(const QString& title, std::string_view symbol, QWidget* parent)
        : QWidget(parent), symbol_(symbol) {
        setObjectName(QStringLiteral("settingsHeader"));
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(0, 4, 0, 0);
        row->setSpacing(6);
        icon_ = new QLabel(this);
        text_ = new QLabel(title, this);
        text_->setTextFormat(Qt::PlainText);
        text_->setFont(textFont(TextStyle::headline));
        row->addWidget(icon_);
        row->addWidget(text_, 1);
        recolour();
    }

  protected:
    bool event(QEvent* event) override {
        if (event->type() == skinChangeEvent() || event->type() == QEvent::PaletteChange)
            recolour();
        return QWidget::event(event);
    }

  private:
    void recolour() {
        const QColor accent = settingsAccent(this);
        if (accent == shown_) return;
        shown_ = accent;
        icon_->setPixmap(Icons::icon(symbol_, accent).pixmap(16, 16));
        QPalette palette = text_->palette();
        palette.setColor(QPalette::WindowText, accent);
        text_->setPalette(palette);
    }

    std::string symbol_;
    QLabel* icon_;
    QLabel* text_;
    QColor shown_;
};

} // namespace

QColor settingsAccent(const QWidget* widget) {
    const QWidget* window = widget->window();
    return (window ? window->palette() : widget->palette())
        .color(QPalette::Active, QPalette::Highlight);
}

QWidget* settingsHeader(const QString& title, std::string_view symbol, QWidget* parent) {
    return new SettingsHeader(title, symbol, parent);
}

// --- Skin cards -------------------------------------------------------------------------------

SkinCard::SkinCard(Skin skin, QWidget* parent) : QAbstractButton(parent), skin_(skin) {
    setObjectName(QStringLiteral("skinCard-") + Skins::rawValue(skin));
    setToolTip(toQString(SettingsPlan::skinDescription(skin)));
    setCursor(Qt::PointingHandCursor);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void SkinCard::setSelected(bool selected) {
    if (selected == selected_) return;
    selected_ = selected;
    update();
}

QSize SkinCard::sizeHint() const {
    return {130, heightForWidth(130)};
}

int SkinCard::heightForWidth(int width) const {
    QFontMetrics small(textFont(TextStyle::caption2));
    int text = small
                   .boundingRect(QRect(0, 0, width - 16, 1000), Qt::TextWordWrap,
                                 toQString(SettingsPlan::skinDescription(skin_)))
                   .height();
    return 8 + 78 + 8 + QFontMetrics(textFont(TextStyle::callout)).height() + 8 + text + 8;
}

void paintSkinThumbnail(QPainter& painter, const QRectF& rect, Skin skin) {
    painter.save();
    QPainterPath clip;
    clip.addRoundedRect(rect, 8, 8);
    painter.setClipPath(clip);
    QColor secondary(128, 128, 128);
    if (skin == Skin::classic)
        painter.fillRect(rect, QColor(236, 236, 236));
    else
        paintBackdrop(painter, rect, skin);
    QColor strip, header, ring;
    switch (skin) {
    case Skin::classic:
        strip = withOpacity(secondary, 0.35);
        header = withOpacity(secondary, 0.12);
        ring = QColor(10, 122, 255);
        break;
    case Skin::nightfall:
        strip = withOpacity(Qt::white, 0.18);
        header = withOpacity(Qt::white, 0.08);
        ring = Nightfall::cyan;
        break;
    case Skin::hibernia:
        strip = withOpacity(Hibernia::navy, 0.25);
        header = withOpacity(Qt::white, 0.8);
        ring = Hibernia::deepGreen;
        break;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    QRectF inner = rect.adjusted(8, 8, -8, -8);
    painter.setBrush(strip);
    painter.drawRoundedRect(QRectF(inner.left(), inner.top(), inner.width(), 8), 3, 3);
    QRectF head(inner.left(), inner.top() + 14, inner.width(), 34);
    painter.setBrush(header);
    painter.drawRoundedRect(head, 6, 6);
    QRectF circle(head.left() + 6 + 1.5, head.top() + 6 + 1.5, 19, 19);
    painter.setPen(QPen(ring, 3, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    // From the top, clockwise, seven tenths of the way round.
    painter.drawArc(circle, 90 * 16, -int(0.7 * 360 * 16));
    painter.setPen(Qt::NoPen);
    qreal barsLeft = head.left() + 6 + 22 + 8;
    painter.setBrush(strip);
    painter.drawRoundedRect(QRectF(barsLeft, head.top() + 11, 46, 5), 2, 2);
    painter.setBrush(withOpacity(strip, 0.6));
    painter.drawRoundedRect(QRectF(barsLeft, head.top() + 20, 30, 4), 2, 2);
    qreal x = inner.left();
    qreal y = head.bottom() + 6;
    // Classic as a light desktop shows it, like the thumbnail's page.
    const Skins::Palette colours = Skins::palette(skin, QPalette(Qt::white));
    for (Level level : {Level::safe, Level::warning, Level::redFlag, Level::protected_}) {
        QColor dot = colours.levelDot(level);
        if (skin == Skin::nightfall) {
            painter.setBrush(withOpacity(dot, 0.35));
            painter.drawEllipse(QRectF(x - 2, y - 2, 11, 11));
        }
        painter.setBrush(dot);
        painter.drawEllipse(QRectF(x, y, 7, 7));
        x += 11;
    }
    painter.restore();
}

void SkinCard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QRectF card = QRectF(rect()).adjusted(1, 1, -1, -1);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawRoundedRect(card, 12, 12);

    QRectF thumb(card.left() + 8, card.top() + 8, card.width() - 16, 78);
    paintSkinThumbnail(painter, thumb, skin_);

    // The name and its tick share the card's inner width: a name too long for it is set a
    // little smaller, and cut only when even that does not fit, so the tick stays on the card.
    const qreal tick = selected_ ? QFontMetrics(textFont(TextStyle::caption)).height() : 0;
    const int room = int(thumb.width() - (selected_ ? tick + 5 : 0));
    const QString fullName = toQString(SettingsPlan::skinName(skin_));
    const QFont nameFont =
        fittedFont(textFont(TextStyle::callout, QFont::DemiBold), fullName, room);
    QFontMetrics nameMetrics(nameFont);
    qreal y = thumb.bottom() + 8;
    painter.setFont(nameFont);
    painter.setPen(palette().color(QPalette::Text));
    QString name = nameMetrics.elidedText(fullName, Qt::ElideRight, room);
    painter.drawText(QPointF(thumb.left(), y + nameMetrics.ascent()), name);
    if (selected_) {
        QRectF mark(thumb.left() + nameMetrics.horizontalAdvance(name) + 5,
                    y + (nameMetrics.height() - tick) / 2, tick, tick);
        Icons::paintSymbol(painter, mark, "checkmark.circle.fill", Hibernia::deepGreen, tick);
    }
    y += nameMetrics.height() + 8;
    painter.setFont(textFont(TextStyle::caption2));
    painter.setPen(Skins::palette(skinOf(this), palette()).secondaryText);
    painter.drawText(QRectF(thumb.left(), y, thumb.width(), card.bottom() - y),
                     Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop,
                     toQString(SettingsPlan::skinDescription(skin_)));

    painter.setBrush(Qt::NoBrush);
    if (selected_)
        painter.setPen(QPen(Hibernia::deepGreen, 2));
    else
        painter.setPen(QPen(withOpacity(QColor(128, 128, 128), 0.2), 1));
    qreal inset = selected_ ? 1 : 0.5;
    painter.drawRoundedRect(card.adjusted(inset, inset, -inset, -inset), 12, 12);
}

// --- The pages --------------------------------------------------------------------------------

SettingsPages::SettingsPages(Store& store, Settings& settings, Hooks hooks, QWidget* parent)
    : QTabWidget(parent), store_(store), settings_(settings), hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("settingsTabs"));
    setDocumentMode(true);
    login_ = std::make_unique<LoginItem>(hooks_.login);
    saveNotice_ = new SaveNotice(settings_, this);
    saveNotice_->setObjectName(QStringLiteral("settingsSaveNotice"));
    connect(saveNotice_, &SaveNotice::shownChanged, this, &SettingsPages::pageChanged);
    QWidget* pages[] = {generalPage(), cleaningPage(), appearancePage()};
    for (std::size_t i = 0; i < SettingsPlan::tabs.size(); ++i) {
        const auto& tab = SettingsPlan::tabs[i];
        pages[i]->setObjectName(QStringLiteral("settingsPage-") + toQString(tab.tag));
        addTab(pages[i], toQString(tab.label));
    }
    recolourTabs();
    setCurrentIndex(int(SettingsPlan::tabIndex(settings_.string(SettingsKeys::settingsTab))));
    pageShown(currentIndex());
    connect(this, &QTabWidget::currentChanged, this, [this](int index) {
        if (index < 0) return;
        // Only which tab the window reopens on: not a change worth a line when unsaved.
        settings_.set(SettingsKeys::settingsTab, std::string(SettingsPlan::tabs[index].tag));
        pageShown(index);
    });

    // Observers run on the thread that wrote; every writer of the settings here is the GUI
    // thread, but a queued call keeps a control from being reset inside its own signal.
    settingsToken_ = settings_.subscribe([this](const std::string&) {
        QMetaObject::invokeMethod(this, &SettingsPages::refresh, Qt::QueuedConnection);
    });
    loginToken_ = login_->subscribe([this] { showLogin(); });
    connect(&store_, &Store::lastAutoCleanChanged, this, &SettingsPages::refresh);
    refresh();
    showLogin();
}

SettingsPages::~SettingsPages() {
    settings_.unsubscribe(settingsToken_);
    login_->unsubscribe(loginToken_);
}

void SettingsPages::recolourTabs() {
    const QColor accent = settingsAccent(this);
    if (accent == tabAccent_) return;
    tabAccent_ = accent;
    for (std::size_t i = 0; i < SettingsPlan::tabs.size(); ++i)
        setTabIcon(int(i), Icons::icon(SettingsPlan::tabs[i].symbol, accent));
}

bool SettingsPages::event(QEvent* event) {
    if (event->type() == skinChangeEvent() || event->type() == QEvent::PaletteChange)
        recolourTabs();
    return QTabWidget::event(event);
}

void SettingsPages::pageShown(int index) {
    // One line for the whole window, under the page shown: a change on any page may be the one
    // left unsaved. It goes before the page's closing stretch.
    if (auto* column = qobject_cast<QVBoxLayout*>(widget(index)->layout());
        column && saveNotice_->parentWidget() != widget(index))
        column->insertWidget(column->count() - 1, saveNotice_);
    // Only the page shown claims its height, so the window is as tall as that page.
    for (int i = 0; i < count(); ++i)
        widget(i)->setSizePolicy(QSizePolicy::Preferred,
                                 i == index ? QSizePolicy::Preferred : QSizePolicy::Ignored);
    updateGeometry();
    emit pageChanged();
}

QWidget* SettingsPages::generalPage() {
    QVBoxLayout* column = nullptr;
    QWidget* page = makePage(this, column);
    column->addWidget(settingsHeader(QStringLiteral("Startup"), "power", page));

    auto* login = group(column, 4);
    openAtLogin_ = new QCheckBox(QStringLiteral("Open at Login"), page);
    openAtLogin_->setObjectName(QStringLiteral("openAtLogin"));
    login->addWidget(openAtLogin_);
    login->addWidget(settingsCaption(named("%1 starts when you log in, in the tray."), page));
    // A row of its own, shown only with something in it: a layout left empty keeps room in
    // its group's measures.
    messageRow_ = new QWidget(page);
    auto* messageRow = new QHBoxLayout(messageRow_);
    messageRow->setContentsMargins(0, 0, 0, 0);
    messageRow->setSpacing(8);
    loginMessage_ = settingsCaption(QString(), messageRow_);
    loginMessage_->setObjectName(QStringLiteral("loginMessage"));
    openLoginItems_ = new QPushButton(QStringLiteral("Open Login Items"), messageRow_);
    openLoginItems_->setObjectName(QStringLiteral("openLoginItems"));
    messageRow->addWidget(loginMessage_, 1);
    messageRow->addWidget(openLoginItems_, 0, Qt::AlignTop);
    login->addWidget(messageRow_);
    connect(openAtLogin_, &QCheckBox::clicked, this, [this](bool on) {
        login_->set(on);
        showLogin();
    });
    connect(openLoginItems_, &QPushButton::clicked, this, [this] { login_->openLoginItems(); });

    auto* dock = group(column, 4);
    keepInDock_ = new QCheckBox(QStringLiteral("Keep in Dock"), page);
    keepInDock_->setObjectName(QStringLiteral("keepInDock"));
    dock->addWidget(keepInDock_);
    // A taskbar entry is what this desktop has of a Dock icon: a window kept minimised there.
    auto* dockCaption = settingsCaption(
        named("With this on, closing the %1 window leaves it minimised in the taskbar or dock "
              "while %1 runs in the tray."),
        page);
    dockCaption->setObjectName(QStringLiteral("keepInDockCaption"));
    dock->addWidget(dockCaption);
    connect(keepInDock_, &QCheckBox::clicked, this, [this](bool on) {
        saveNotice_->check(settings_.set(SettingsKeys::keepInDock, on));
        if (hooks_.keepInDockChanged) hooks_.keepInDockChanged();
    });

    column->addSpacing(6);
    column->addWidget(settingsHeader(QStringLiteral("Updates"), "arrow.down.circle", page));
    auto* updates = group(column, 4);
    updates_ = new QCheckBox(QStringLiteral("Check for updates automatically"), page);
    updates_->setObjectName(QStringLiteral("automaticUpdates"));
    updates->addWidget(updates_);
    // True of every copy: one from the system's packages is updated with them, any other the
    // way it was installed, and the program itself asks no server.
    updates->addWidget(settingsCaption(
        named("%1 asks no update server: updates come the way it was installed, and it sends "
              "nothing about you or your computer anywhere."),
        page));
    updates->addWidget(settingsCaption(
        QStringLiteral("Nothing is ever downloaded or installed without you saying yes."), page));
    connect(updates_, &QCheckBox::clicked, this, [this](bool on) {
        saveNotice_->check(settings_.set(SettingsKeys::automaticUpdateChecks, on));
    });
    column->addStretch(1);
    return page;
}

QWidget* SettingsPages::cleaningPage() {
    QVBoxLayout* column = nullptr;
    QWidget* page = makePage(this, column);
    column->addWidget(
        settingsHeader(QStringLiteral("Automatic cleaning"), "calendar.badge.clock", page));
    column->addWidget(settingsCaption(
        named("The Schedule button in the %1 window has these settings too, plus the list of "
              "which categories the automatic clean may take."),
        page));

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    column->addLayout(form);
    schedule_ = new QComboBox(page);
    schedule_->setObjectName(QStringLiteral("cleanSchedule"));
    for (auto schedule : AutoClean::allSchedules)
        schedule_->addItem(toQString(AutoClean::title(schedule)),
                           toQString(AutoClean::rawValue(schedule)));
    form->addRow(QStringLiteral("Clean automatically"), schedule_);
    connect(schedule_, &QComboBox::activated, this, [this](int index) {
        auto chosen = AutoClean::allSchedules[std::size_t(index)];
        saveNotice_->check(AutoClean::setSchedule(chosen, settings_));
        if (chosen != AutoClean::Schedule::off)
            enableAutomaticClean();
        else
            saveNotice_->check(AutoClean::setEnabledAt(std::nullopt, settings_));
    });

    time_ = new QTimeEdit(page);
    time_->setObjectName(QStringLiteral("cleanTime"));
    time_->setDisplayFormat(QStringLiteral("HH:mm"));
    time_->setTime(QTime(int(std::clamp<std::int64_t>(AutoClean::hour(settings_), 0, 23)),
                         int(std::clamp<std::int64_t>(AutoClean::minute(settings_), 0, 59))));
    form->addRow(QStringLiteral("At"), time_);
    timeRow_ = form->labelForField(time_);
    connect(time_, &QTimeEdit::timeChanged, this, [this](QTime time) {
        saveNotice_->check(AutoClean::setTimeOfDay(time.hour(), time.minute(), settings_));
    });
    next_ = new QLabel(page);
    next_->setObjectName(QStringLiteral("nextClean"));
    next_->setForegroundRole(QPalette::PlaceholderText);
    form->addRow(QStringLiteral("Next clean"), next_);
    nextRow_ = form->labelForField(next_);

    auto* lowSpace = new QHBoxLayout;
    onLowSpace_ = new QCheckBox(QStringLiteral("Also when free space drops below"), page);
    onLowSpace_->setObjectName(QStringLiteral("cleanOnLowSpace"));
    lowSpaceGB_ = new QSpinBox(page);
    lowSpaceGB_->setObjectName(QStringLiteral("lowSpaceGB"));
    lowSpaceGB_->setRange(1, 200);
    lowSpaceGB_->setSuffix(QStringLiteral(" GB"));
    QFont digits = lowSpaceGB_->font();
    digits.setFamily(QStringLiteral("monospace"));
    digits.setStyleHint(QFont::Monospace);
    lowSpaceGB_->setFont(digits);
    lowSpace->addWidget(onLowSpace_);
    lowSpace->addWidget(lowSpaceGB_);
    lowSpace->addStretch(1);
    column->addLayout(lowSpace);
    connect(onLowSpace_, &QCheckBox::clicked, this, [this](bool on) {
        saveNotice_->check(settings_.set(SettingsKeys::autoCleanOnLowSpace, on));
        if (on) enableAutomaticClean();
    });
    connect(lowSpaceGB_, &QSpinBox::valueChanged, this, [this](int gb) {
        if (settings_.integer(SettingsKeys::autoCleanLowSpaceGB) != gb)
            saveNotice_->check(settings_.set(SettingsKeys::autoCleanLowSpaceGB, gb));
    });

    auto* notes = group(column, 4);
    notes->addWidget(settingsCaption(
        QStringLiteral("Only Safe to Remove \u2014 caches, logs and build data that regenerate on "
                       "their own. Never your files, never anything needing your password."),
        page));
    notes->addWidget(settingsCaption(
        named("The Trash is never emptied automatically: it is the undo for everything %1 "
              "moves there. A category whose app is open is skipped rather than cleaned, so a "
              "build can't lose its Derived Data halfway through."),
        page));
    notes->addWidget(settingsCaption(
        named("Runs only while %1 is running, so turn on Open at Login in General. If the "
              "computer is asleep at that time nothing is missed \u2014 the clean happens "
              "shortly after it wakes. Every run is written to History."),
        page));

    notify_ = new QCheckBox(QStringLiteral("Notify me afterwards"), page);
    notify_->setObjectName(QStringLiteral("cleanNotify"));
    column->addWidget(notify_);
    connect(notify_, &QCheckBox::clicked, this, [this](bool on) {
        saveNotice_->check(settings_.set(SettingsKeys::autoCleanNotify, on));
    });

    auto* lastForm = new QFormLayout;
    column->addLayout(lastForm);
    last_ = new QLabel(page);
    last_->setObjectName(QStringLiteral("lastAutoClean"));
    last_->setForegroundRole(QPalette::PlaceholderText);
    lastForm->addRow(QStringLiteral("Last automatic clean"), last_);
    lastRow_ = lastForm->labelForField(last_);
    column->addStretch(1);
    return page;
}

QWidget* SettingsPages::appearancePage() {
    QVBoxLayout* column = nullptr;
    QWidget* page = makePage(this, column);
    column->addWidget(settingsHeader(QStringLiteral("Skin"), "paintpalette", page));
    auto* cards = group(column, 10);
    cards->addWidget(settingsCaption(named("Changes the look of the %1 window. The four levels "
                                           "keep their colours in every skin."),
                                     page));
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    for (Skin skin : Skins::allCases) {
        auto* card = new SkinCard(skin, page);
        cards_.push_back(card);
        row->addWidget(card, 1, Qt::AlignTop);
        connect(card, &SkinCard::clicked, this, [this, skin] {
            saveNotice_->check(
                settings_.set(SettingsKeys::skin, Skins::rawValue(skin).toStdString()));
        });
    }
    cards->addLayout(row);

    auto* motion = group(column, 4);
    animate_ = new QCheckBox(QStringLiteral("Animate scanning and cleaning"), page);
    animate_->setObjectName(QStringLiteral("animateScans"));
    motion->addWidget(animate_);
    motion->addWidget(settingsCaption(
        QStringLiteral("The ring while scanning, the sweep across a row being measured, and the "
                       "bar under a row being cleaned. Never when Reduce Motion is on, and "
                       "Classic has none."),
        page));
    connect(animate_, &QCheckBox::clicked, this,
            [this](bool on) { saveNotice_->check(settings_.set(SettingsKeys::animateScans, on)); });
    column->addStretch(1);
    return page;
}

void SettingsPages::enableAutomaticClean() {
    // Desktop notifications need no permission here, so there is nothing to ask for first.
    if (!AutoClean::enabledAt(settings_))
        saveNotice_->check(AutoClean::setEnabledAt(
            std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()), settings_));
    store_.startAutoCleanTimer();
}

void SettingsPages::refreshLogin() {
    login_->refresh();
}

void SettingsPages::showLogin() {
    QSignalBlocker block(openAtLogin_);
    openAtLogin_->setChecked(login_->isOn());
    const auto& message = login_->message();
    loginMessage_->setVisible(message.has_value());
    loginMessage_->setText(message ? toQString(*message) : QString());
    openLoginItems_->setVisible(login_->offersLoginItems());
    messageRow_->setVisible(message.has_value() || login_->offersLoginItems());
    emit pageChanged();
}

void SettingsPages::refresh() {
    {
        QSignalBlocker a(keepInDock_), b(updates_);
        keepInDock_->setChecked(stored(settings_, SettingsKeys::keepInDock, false));
        updates_->setChecked(stored(settings_, SettingsKeys::automaticUpdateChecks, true));
    }

    std::string raw = settings_.string(SettingsKeys::autoCleanSchedule).value_or("off");
    {
        QSignalBlocker a(schedule_), b(time_), c(onLowSpace_), d(lowSpaceGB_), e(notify_);
        auto index = SettingsPlan::scheduleIndex(raw);
        schedule_->setCurrentIndex(index ? int(*index) : -1);
        bool showsTime = SettingsPlan::showsTime(raw);
        time_->setVisible(showsTime);
        timeRow_->setVisible(showsTime);
        time_->setTime(QTime(int(std::clamp<std::int64_t>(AutoClean::hour(settings_), 0, 23)),
                             int(std::clamp<std::int64_t>(AutoClean::minute(settings_), 0, 59))));
        auto due = showsTime ? AutoClean::nextDue(settings_) : std::nullopt;
        next_->setVisible(due.has_value());
        nextRow_->setVisible(due.has_value());
        if (due) next_->setText(toQString(SettingsPlan::nextCleanText(*due)));
        bool low = AutoClean::onLowSpace(settings_);
        onLowSpace_->setChecked(low);
        lowSpaceGB_->setValue(
            int(std::clamp<std::int64_t>(AutoClean::lowSpaceGB(settings_), 1, 200)));
        lowSpaceGB_->setEnabled(low);
        notify_->setChecked(AutoClean::notify(settings_));
        notify_->setEnabled(AutoClean::isEnabled(settings_));
        const auto& run = store_.lastAutoClean();
        last_->setVisible(run.has_value());
        lastRow_->setVisible(run.has_value());
        if (run)
            last_->setText(toQString(SettingsPlan::lastAutoCleanText(
                run->freed, run->date, std::chrono::system_clock::now())));
    }

    auto skin = settings_.string(SettingsKeys::skin);
    for (auto* card : cards_)
        card->setSelected(SettingsPlan::skinSelected(skin, card->skin()));
    QSignalBlocker block(animate_);
    animate_->setChecked(stored(settings_, SettingsKeys::animateScans, true));
    animate_->setEnabled(SettingsPlan::animationSwitchEnabled(skin));
}

// --- Folder access ----------------------------------------------------------------------------

FolderAccessSection::FolderAccessSection(Store& store, FolderAccess& folders, QWidget* parent)
    : QWidget(parent), store_(store), folders_(folders) {
    setObjectName(QStringLiteral("folderAccess"));
    auto* column = new QVBoxLayout(this);
    column->setSpacing(8);
    column->addWidget(settingsHeader(QStringLiteral("Folder access"), "folder.badge.plus", this));
    column->addWidget(settingsCaption(
        named("Some folders are read only once you allow them. Downloads, Pictures, Music and "
              "Movies are always included. Allow any of these and %1 remembers it; removing "
              "one stops it being scanned."),
        this));
    for (const auto& folder : FolderAccess::suggested()) {
        auto* row = new QHBoxLayout;
        row->setSpacing(10);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(2);
        auto* title = new QHBoxLayout;
        title->setSpacing(6);
        auto* name = new QLabel(toQString(folder.name), this);
        name->setFont(textFont(TextStyle::body, QFont::DemiBold));
        auto* path = new QLabel(toQString(folder.path), this);
        QFont mono = textFont(TextStyle::caption);
        mono.setFamily(QStringLiteral("monospace"));
        mono.setStyleHint(QFont::Monospace);
        path->setFont(mono);
        path->setForegroundRole(QPalette::PlaceholderText);
        title->addWidget(name);
        title->addWidget(path);
        title->addStretch(1);
        texts->addLayout(title);
        texts->addWidget(settingsCaption(toQString(folder.why), this));
        row->addLayout(texts, 1);
        auto* allowed = new QLabel(QStringLiteral("Allowed"), this);
        allowed->setFont(textFont(TextStyle::caption, QFont::DemiBold));
        QPalette green = allowed->palette();
        green.setColor(QPalette::WindowText, systemColor(SystemColor::green, false));
        allowed->setPalette(green);
        row->addWidget(allowed, 0, Qt::AlignTop);
        auto* remove = new QPushButton(QStringLiteral("Remove"), this);
        remove->setObjectName(QStringLiteral("folderRemove-") + toQString(folder.id));
        row->addWidget(remove, 0, Qt::AlignTop);
        column->addLayout(row);
        connect(remove, &QPushButton::clicked, this, [this, folder] {
            folders_.remove(folder);
            // Finishes on its own; a second press starts a second rescan.
            auto rescanning = store_.rescan(folder);
            Q_UNUSED(rescanning);
        });
    }
}

} // namespace bramwick
