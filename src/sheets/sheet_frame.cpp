#include "sheets/sheet_frame.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QVBoxLayout>

#include "appearance/icons.h"
#include "appearance/skin.h"
#include "appearance/spinner.h"
#include "appearance/window_dressing.h"
#include "store/store.h"
#include "store/to_qstring.h"

namespace bramwick {

SheetText::SheetText(const QString& text, TextStyle style, Tone tone,
                     std::optional<QFont::Weight> weight, QWidget* parent)
    : QLabel(text, parent), tone_(tone) {
    setFont(textFont(style, weight));
    setTextFormat(Qt::PlainText);
    recolor();
}

void SheetText::setTint(std::optional<QColor> tint) {
    if (tint)
        setTint([colour = *tint](const QWidget*) { return colour; });
    else
        setTint(std::function<QColor(const QWidget*)>());
}

void SheetText::setTint(std::function<QColor(const QWidget*)> tint) {
    tint_ = std::move(tint);
    recolor();
}

bool SheetText::event(QEvent* event) {
    if (event->type() == skinChangeEvent() || event->type() == QEvent::ParentChange) recolor();
    return QLabel::event(event);
}

void SheetText::paintEvent(QPaintEvent* event) {
    // A row built (or rebuilt) before it reached its window was coloured for no skin.
    if (auto wanted = color(); wanted && *wanted != palette().color(QPalette::WindowText))
        recolor();
    QLabel::paintEvent(event);
}

void SheetText::setElidedText(const QString& text, Qt::TextElideMode mode) {
    full_ = text;
    mode_ = mode;
    setMinimumWidth(40);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    elide();
}

void SheetText::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    if (mode_ != Qt::ElideNone) elide();
}

void SheetText::elide() {
    setText(fontMetrics().elidedText(full_, mode_, std::max(width(), 40)));
}

std::optional<QColor> SheetText::color() const {
    if (tint_) return tint_(this);
    if (tone_ == Tone::secondary)
        return Skins::palette(skinOf(this), window() ? window()->palette() : palette())
            .secondaryText;
    return std::nullopt;
}

void SheetText::recolor() {
    const auto colour = color();
    if (!colour) return setPalette(QPalette());
    QPalette p = window() ? window()->palette() : palette();
    p.setColor(QPalette::WindowText, *colour);
    setPalette(p);
}

QPushButton* sheetButton(const QString& text, const QString& objectName, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    button->setAutoDefault(false);
    button->setDefault(false);
    // Never narrower than its text: a row short of room widens its sheet instead.
    button->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    return button;
}

QScrollArea* sheetRowList(QWidget* sheet, const QString& objectName, QVBoxLayout** rows) {
    auto* scroll = new QScrollArea;
    scroll->setObjectName(objectName);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* holder = new QWidget;
    *rows = new QVBoxLayout(holder);
    (*rows)->setContentsMargins(0, 0, 0, 0);
    (*rows)->setSpacing(0);
    scroll->setWidget(holder);
    dressScrollArea(scroll, skinOf(sheet));
    return scroll;
}

SheetReportBanner::SheetReportBanner(Store& store, QWidget* parent)
    : QWidget(parent), store_(store), title_(new SheetText({}, TextStyle::headline)),
      message_(new SheetText({}, TextStyle::callout, SheetText::Tone::secondary)) {
    setObjectName("reportBanner");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    auto* text = new QVBoxLayout;
    text->setSpacing(2);
    message_->setWordWrap(true);
    text->addWidget(title_);
    text->addWidget(message_);
    layout->addLayout(text, 1);
    auto* dismiss = sheetButton(QStringLiteral("Dismiss"), "dismissReport");
    layout->addWidget(dismiss, 0, Qt::AlignTop);
    connect(dismiss, &QPushButton::clicked, this, [this] { store_.dismissReport(); });
    connect(&store_, &Store::reportChanged, this, [this] { update_(); });
    update_();
}

void SheetReportBanner::update_() {
    const auto& report = store_.report();
    setVisible(report.has_value());
    if (!report) return;
    title_->setText(toQString(report->title));
    message_->setText(toQString(report->message));
    message_->setVisible(!report->message.empty());
    title_->setTint(report->hasFailures
                        ? std::optional(systemColor(SystemColor::orange, isDark(palette())))
                        : std::nullopt);
}

void SheetReportBanner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 8, 8);
    QColor fill = palette().color(QPalette::Text);
    fill.setAlphaF(0.07f);
    painter.fillPath(path, fill);
}

SheetDialog::SheetDialog(QWidget* parent, QWidget* content, QSize minimum)
    : QDialog(parent), content_(content), minimum_(minimum) {
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_DeleteOnClose);
    setMinimumSize(minimum);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* backdrop = new SkinBackdrop;
    layout->addWidget(backdrop);
    auto* inner = new QVBoxLayout(backdrop);
    inner->setContentsMargins(0, 0, 0, 0);
    inner->addWidget(content);
    SkinScene::attach(this);
}

bool SheetDialog::event(QEvent* event) {
    const bool result = QDialog::event(event);
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Resize) fitSize();
    return result;
}

void SheetDialog::fitSize() {
    // A window given a least size of its own no longer takes its layout's: it keeps both, the
    // larger of each. The layout's counts each wrapped label as one line; the least height it
    // needs at this width counts all of them.
    if (!layout()) return;
    const int width = std::max(minimum_.width(), layout()->totalMinimumSize().width());
    const int height = std::max(
        minimum_.height(), layout()->totalMinimumHeightForWidth(std::max(width, this->width())));
    if (minimumSize() != QSize(width, height)) setMinimumSize(width, height);
}

void SheetDialog::reject() {
    if (content_->property("keepOpen").toBool()) return;
    QDialog::reject();
}

SheetDialog* presentSheet(QWidget* parent, QWidget* content, QSize minimum) {
    auto* dialog = new SheetDialog(parent, content, minimum);
    dialog->open();
    return dialog;
}

void closeSheet(QWidget* widget) {
    if (auto* dialog = qobject_cast<SheetDialog*>(widget->window())) dialog->close();
}

SheetSymbol::SheetSymbol(std::string symbol, qreal size,
                         std::function<QColor(const QWidget*)> color, QWidget* parent)
    : QWidget(parent), symbol_(std::move(symbol)), size_(size), color_(std::move(color)) {
    setFixedSize(static_cast<int>(size_ + 4), static_cast<int>(size_ + 4));
}

void SheetSymbol::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    Icons::paintSymbol(painter, QRectF(rect()), symbol_, color_(this), size_);
}

WorkingOverlay::WorkingOverlay(const QString& text, QWidget* parent) : QWidget(parent) {
    setObjectName("workingOverlay");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 14);
    auto* spinner = new Spinner;
    spinner->setObjectName("workingSpinner");
    layout->addWidget(spinner, 0, Qt::AlignHCenter);
    auto* label = new SheetText(text, TextStyle::callout);
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
    hide();
    parent->installEventFilter(this);
}

void WorkingOverlay::setShown(bool shown) {
    setVisible(shown);
    if (shown) {
        place();
        raise();
    }
}

bool WorkingOverlay::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent() && event->type() == QEvent::Resize) place();
    return QWidget::eventFilter(watched, event);
}

void WorkingOverlay::place() {
    adjustSize();
    auto* over = parentWidget();
    move((over->width() - width()) / 2, (over->height() - height()) / 2);
}

void WorkingOverlay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
    QColor fill = palette().color(QPalette::Window);
    fill.setAlphaF(0.94f);
    painter.fillPath(path, fill);
    QColor line = palette().color(QPalette::Text);
    line.setAlphaF(0.12f);
    painter.setPen(line);
    painter.drawPath(path);
}

} // namespace bramwick
