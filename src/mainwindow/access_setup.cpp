#include "mainwindow/access_setup.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "appearance/button_style.h"
#include "appearance/focus_ring.h"
#include "appearance/icons.h"
#include "appearance/spinner.h"
#include "appearance/window_dressing.h"
#include "store/to_qstring.h"

namespace bramwick {

namespace AccessSetupValues {

Phase phase(bool access, bool openedSettings) {
    if (access) return Phase::granted;
    return openedSettings ? Phase::waiting : Phase::asking;
}

std::string title(bool access) {
    return access ? "Full Disk Access is on" : "Allow Full Disk Access";
}

std::string symbol(bool access) {
    return access ? "checkmark.shield.fill" : "lock.shield";
}

const std::vector<std::string>& steps() {
    static const std::vector<std::string> texts{
        "Click **Open Settings**. It opens at Privacy & Security \u2192 Full Disk Access.",
        "Turn on **Bramwick**. If it isn't in the list, click **+** and choose Bramwick from "
        "Applications.",
        "When the system offers to quit Bramwick, click **Quit & Reopen**."};
    return texts;
}

QString stepHtml(const std::string& step) {
    const QString text = toQString(step);
    QString html;
    bool bold = false;
    int from = 0;
    while (true) {
        const int mark = text.indexOf(QStringLiteral("**"), from);
        if (mark < 0) break;
        html += text.mid(from, mark - from).toHtmlEscaped();
        html += bold ? QStringLiteral("</b>") : QStringLiteral("<b>");
        bold = !bold;
        from = mark + 2;
    }
    html += text.mid(from).toHtmlEscaped();
    if (bold) html += QStringLiteral("</b>");
    return html;
}

} // namespace AccessSetupValues

namespace {

QPushButton* makeButton(const char* name, const QString& text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

QWidget* stepRow(int number, const std::string& text, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    auto* badge = new QLabel(QString::number(number), row);
    badge->setFixedSize(22, 22);
    badge->setAlignment(Qt::AlignCenter);
    badge->setFont(textFont(TextStyle::callout, QFont::Bold));
    const QColor blue = systemColor(SystemColor::blue, false);
    badge->setStyleSheet(QStringLiteral("color:%1;background:%2;border-radius:11px;")
                             .arg(blue.name(), withOpacity(blue, 0.15).name(QColor::HexArgb)));
    layout->addWidget(badge, 0, Qt::AlignTop);
    auto* label = new ToneLabel("step", TextStyle::body, std::nullopt, Tones::primary, row);
    label->setTextFormat(Qt::RichText);
    label->setText(AccessSetupValues::stepHtml(text));
    label->setWordWrap(true);
    layout->addWidget(label, 1);
    return row;
}

} // namespace

FullDiskAccessSetup::FullDiskAccessSetup(Store& store, Hooks hooks, QWidget* parent)
    : QWidget(parent), store_(store), hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("fullDiskAccessSetup"));
    setFixedWidth(AccessSetupValues::width);
    setFocusPolicy(Qt::StrongFocus);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(18);

    auto* header = new QHBoxLayout;
    header->setSpacing(14);
    shield_ = new QLabel(this);
    shield_->setFixedSize(48, 48);
    header->addWidget(shield_);
    auto* headTexts = new QVBoxLayout;
    headTexts->setSpacing(4);
    title_ = new ToneLabel("accessTitle", TextStyle::title2, QFont::Bold, Tones::primary, this);
    headTexts->addWidget(title_);
    auto* why = new ToneLabel("accessWhy", TextStyle::body, std::nullopt, Tones::secondary, this);
    why->setWordWrap(true);
    why->setText(QStringLiteral(
        "Bramwick needs it to measure Mail, Messages, app containers and system folders. "
        "Without it, sizes read too low and the system keeps interrupting the scan with permission "
        "prompts."));
    headTexts->addWidget(why);
    header->addLayout(headTexts, 1);
    column->addLayout(header);

    steps_ = new QWidget(this);
    auto* stepColumn = new QVBoxLayout(steps_);
    stepColumn->setContentsMargins(0, 0, 0, 0);
    stepColumn->setSpacing(10);
    int number = 1;
    for (const std::string& step : AccessSetupValues::steps())
        stepColumn->addWidget(stepRow(number++, step, steps_));
    auto* noteRow = new QHBoxLayout;
    noteRow->setSpacing(6);
    auto* hand = new QLabel(steps_);
    hand->setPixmap(Icons::icon("hand.raised", QColor(Qt::gray)).pixmap(14, 14));
    noteRow->addWidget(hand, 0, Qt::AlignTop);
    auto* note =
        new ToneLabel("accessNote", TextStyle::caption, std::nullopt, Tones::secondary, steps_);
    note->setWordWrap(true);
    note->setText(QStringLiteral("Bramwick only reads sizes, and deletes nothing unless you "
                                 "click Clean. Nothing leaves your computer."));
    noteRow->addWidget(note, 1);
    stepColumn->addLayout(noteRow);
    column->addWidget(steps_);

    allSet_ = new ToneLabel("accessAllSet", TextStyle::body, std::nullopt, Tones::primary, this);
    allSet_->setText(QStringLiteral("You're all set. Bramwick will scan your computer now."));
    column->addWidget(allSet_);

    auto* buttons = new QHBoxLayout;
    continue_ =
        makeButton("continueWithoutAccess", QStringLiteral("Continue Without Access"), this);
    buttons->addWidget(continue_);
    buttons->addStretch(1);
    waiting_ = new QWidget(this);
    auto* waitingRow = new QHBoxLayout(waiting_);
    waitingRow->setContentsMargins(0, 0, 0, 0);
    auto* spinner = new Spinner(waiting_);
    spinner->setObjectName(QStringLiteral("accessWaitingSpinner"));
    waitingRow->addWidget(spinner);
    auto* waitingText =
        new ToneLabel("accessWaiting", TextStyle::body, std::nullopt, Tones::secondary, waiting_);
    waitingText->setText(QStringLiteral("Waiting for access\u2026"));
    waitingRow->addWidget(waitingText);
    relaunch_ = makeButton("quitAndReopen", QStringLiteral("Quit && Reopen"), waiting_);
    relaunch_->setToolTip(
        QStringLiteral("Access usually takes effect only after Bramwick restarts"));
    waitingRow->addWidget(relaunch_);
    // Its own line above the buttons: beside them it does not fit the card's width with the
    // desktop's fonts.
    auto* waitingLine = new QHBoxLayout;
    waitingLine->addStretch(1);
    waitingLine->addWidget(waiting_);
    column->addLayout(waitingLine);
    openSettings_ = makeButton("openSystemSettings", QStringLiteral("Open Settings"), this);
    buttons->addWidget(openSettings_);
    start_ = makeButton("startScanning", QStringLiteral("Start Scanning"), this);
    setButtonLook(start_, ButtonLook::prominent);
    // The waiting row needs the room: the settings button is the default one instead.
    for (QWidget* fixed : {static_cast<QWidget*>(continue_), static_cast<QWidget*>(waitingText),
                           static_cast<QWidget*>(relaunch_), static_cast<QWidget*>(openSettings_)})
        fixed->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    buttons->addWidget(start_);
    column->addLayout(buttons);

    connect(openSettings_, &QPushButton::clicked, this, [this] {
        store_.openFullDiskAccessSettings();
        openedSettings_ = true;
        refresh();
    });
    connect(relaunch_, &QPushButton::clicked, this, [this] { store_.relaunch(); });
    connect(continue_, &QPushButton::clicked, this, [this] {
        if (hooks_.setSkipped) hooks_.setSkipped(true);
        if (hooks_.done) hooks_.done();
    });
    connect(start_, &QPushButton::clicked, this, [this] {
        if (hooks_.done) hooks_.done();
    });
    poll_.setInterval(AccessSetupValues::pollInterval);
    poll_.setTimerType(Qt::CoarseTimer);
    connect(&poll_, &QTimer::timeout, this, &FullDiskAccessSetup::poll);
    connect(&store_, &Store::hasFullDiskAccessChanged, this, &FullDiskAccessSetup::accessChanged);
    refresh();
    new FocusGuard(this);
}

AccessSetupValues::Phase FullDiskAccessSetup::phase() const {
    return AccessSetupValues::phase(store_.hasFullDiskAccess(), openedSettings_);
}

QPushButton* FullDiskAccessSetup::button(const char* objectName) const {
    return findChild<QPushButton*>(QString::fromLatin1(objectName));
}

void FullDiskAccessSetup::poll() {
    if (!openedSettings_) return;
    // The store writes (and announces) the flag only when the probe disagrees with it.
    store_.setHasFullDiskAccess(store_.probeFullDiskAccess());
}

void FullDiskAccessSetup::accessChanged() {
    if (store_.hasFullDiskAccess() && hooks_.setSkipped) hooks_.setSkipped(false);
    refresh();
}

void FullDiskAccessSetup::refresh() {
    const bool access = store_.hasFullDiskAccess();
    const auto phase = this->phase();
    const QColor tint = systemColor(access ? SystemColor::green : SystemColor::blue, false);
    shield_->setPixmap(Icons::icon(AccessSetupValues::symbol(access), tint).pixmap(44, 44));
    title_->setText(toQString(AccessSetupValues::title(access)));
    steps_->setVisible(!access);
    allSet_->setVisible(access);
    continue_->setVisible(!access);
    waiting_->setVisible(phase == AccessSetupValues::Phase::waiting);
    openSettings_->setVisible(!access);
    start_->setVisible(access);
    openSettings_->setDefault(!access);
    start_->setDefault(access);
}

void FullDiskAccessSetup::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    poll_.start();
    setFocus();
}

void FullDiskAccessSetup::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    poll_.stop();
}

bool FullDiskAccessSetup::focusNextPrevChild(bool next) {
    // In reading order: the waiting line stands above the row of buttons.
    moveFocusRound(this, {relaunch_, continue_, openSettings_, start_}, next);
    return true;
}

void FullDiskAccessSetup::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // The focused button, else the one the card leads to.
        auto* focused = qobject_cast<QPushButton*>(focusWidget());
        if (!focused || !isAncestorOf(focused))
            focused = store_.hasFullDiskAccess() ? start_ : openSettings_;
        focused->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FullDiskAccessSetup::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card = QRectF(rect()).adjusted(1, 1, -1, -1);
    QPainterPath path;
    path.addRoundedRect(card, 14, 14);
    painter.fillPath(path, palette().color(QPalette::Window));
    painter.setPen(QPen(withOpacity(palette().color(QPalette::WindowText), 0.12), 1));
    painter.drawPath(path);
}

} // namespace bramwick
