#include "mainwindow/banners.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "appearance/icons.h"
#include "appearance/window_dressing.h"
#include "store/to_qstring.h"

namespace bramwick {

namespace BannerValues {

std::string reportSymbol(bool hasFailures) {
    return hasFailures ? "exclamationmark.circle.fill" : "checkmark.circle.fill";
}

QColor reportColour(bool hasFailures, bool darkScheme) {
    return systemColor(hasFailures ? SystemColor::orange : SystemColor::green, darkScheme);
}

} // namespace BannerValues

void TintedBar::setTint(const QColor& tint) {
    if (tint == tint_) return;
    tint_ = tint;
    update();
}

void TintedBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), withOpacity(tint_, BannerValues::tintOpacity));
}

ReportBanner::ReportBanner(Store& store, QWidget* parent) : TintedBar(parent), store_(store) {
    setObjectName(QStringLiteral("reportBanner"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(20, 10, 20, 10);
    row->setSpacing(10);
    symbol_ = new QLabel(this);
    symbol_->setFixedSize(18, 18);
    row->addWidget(symbol_, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    title_ = new ToneLabel("reportTitle", TextStyle::headline, std::nullopt, Tones::primary, this);
    message_ =
        new ToneLabel("reportMessage", TextStyle::callout, std::nullopt, Tones::secondary, this);
    message_->setWordWrap(true);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    texts->addWidget(title_);
    texts->addWidget(message_);
    row->addLayout(texts, 1);
    dismiss_ = new QToolButton(this);
    dismiss_->setObjectName(QStringLiteral("reportDismiss"));
    dismiss_->setAutoRaise(true);
    dismiss_->setToolTip(QStringLiteral("Dismiss"));
    dismiss_->setAccessibleName(QStringLiteral("Dismiss"));
    connect(dismiss_, &QToolButton::clicked, this, [this] { store_.dismissReport(); });
    row->addWidget(dismiss_, 0, Qt::AlignTop);
    connect(&store_, &Store::reportChanged, this, &ReportBanner::refresh);
    refresh();
}

void ReportBanner::refresh() {
    const auto& report = store_.report();
    showWhen(this, report.has_value());
    if (!report) return;
    const bool dark = isDark(window()->palette());
    const QColor colour = BannerValues::reportColour(report->hasFailures, dark);
    setTint(colour);
    setProperty("failures", report->hasFailures);
    symbol_->setPixmap(
        Icons::icon(BannerValues::reportSymbol(report->hasFailures), colour).pixmap(18, 18));
    dismiss_->setIcon(
        Icons::icon("xmark", Skins::palette(skinOf(this), window()->palette()).secondaryText));
    title_->setText(toQString(report->title));
    message_->setText(toQString(report->message));
    message_->setVisible(!report->message.empty());
}

bool ReportBanner::event(QEvent* event) {
    if (event->type() == skinChangeEvent()) refresh();
    return TintedBar::event(event);
}

FullDiskAccessBanner::FullDiskAccessBanner(Store& store, std::function<void()> onGrant,
                                           QWidget* parent)
    : TintedBar(parent), store_(store) {
    setObjectName(QStringLiteral("fullDiskAccessBanner"));
    setTint(systemColor(SystemColor::orange, false));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(20, 8, 20, 8);
    auto* shield = new QLabel(this);
    shield->setPixmap(
        Icons::icon("lock.shield", systemColor(SystemColor::orange, false)).pixmap(18, 18));
    row->addWidget(shield);
    auto* text =
        new ToneLabel("accessBannerText", TextStyle::callout, std::nullopt, Tones::primary, this);
    text->setText(QStringLiteral(
        "Some folders can't be measured without Full Disk Access, so sizes may be too low."));
    row->addWidget(text);
    row->addStretch(1);
    grant_ = new QPushButton(QStringLiteral("Grant Access\u2026"), this);
    grant_->setObjectName(QStringLiteral("grantAccess"));
    connect(grant_, &QPushButton::clicked, this, [onGrant = std::move(onGrant)] {
        if (onGrant) onGrant();
    });
    row->addWidget(grant_);
    connect(&store_, &Store::hasFullDiskAccessChanged, this, &FullDiskAccessBanner::follow);
    follow();
}

void FullDiskAccessBanner::follow() {
    showWhen(this, !store_.hasFullDiskAccess());
}

} // namespace bramwick
