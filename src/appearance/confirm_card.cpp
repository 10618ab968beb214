#include "appearance/confirm_card.h"

#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "appearance/button_style.h"
#include "appearance/focus_ring.h"
#include "appearance/labels.h"
#include "appearance/tiles.h"
#include "appearance/typography.h"
#include "appearance/window_dressing.h"

namespace bramwick {

void tintButton(QPushButton* button, bool dangerous) {
    const QColor tint = tintFill(dangerous);
    QPalette palette = button->palette();
    // A disabled button keeps the style's disabled look.
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Button, tint);
        palette.setColor(group, QPalette::ButtonText, Qt::white);
    }
    button->setPalette(palette);
    button->setProperty("tint", dangerous ? "red" : "green");
}

ConfirmCard::ConfirmCard(const QString& title, const QString& message, const QString& confirmLabel,
                         bool dangerous, std::function<void()> confirm,
                         std::function<void()> cancel, QWidget* parent)
    : QFrame(parent), confirm_(std::move(confirm)), cancel_(std::move(cancel)) {
    setObjectName(QStringLiteral("confirmCard"));
    setFixedWidth(cardWidth);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_TranslucentBackground);
    // The card takes the focus when it opens: a screen reader then says what it asks.
    setAccessibleName(title);
    setAccessibleDescription(message);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(12);

    // Names and paths are data, never markup.
    auto* titleLabel = title_ = wrappingLabel(this, "confirmTitle");
    titleLabel->setText(title);
    titleLabel->setFont(textFont(TextStyle::headline));
    column->addWidget(titleLabel);

    if (!message.isEmpty()) {
        auto* messageLabel = message_ = wrappingLabel(this, "confirmMessage");
        messageLabel->setText(message);
        messageLabel->setForegroundRole(QPalette::PlaceholderText);
        messageLabel->setFont(textFont(TextStyle::callout));
        column->addWidget(messageLabel);
    }

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    buttons->setContentsMargins(0, 2, 0, 0);
    buttons->addStretch(1);
    cancelButton_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton_->setObjectName(QStringLiteral("confirmCancel"));
    confirmButton_ = new QPushButton(literalButtonText(confirmLabel), this);
    confirmButton_->setObjectName(QStringLiteral("confirmAction"));
    confirmButton_->setDefault(true);
    tintButton(confirmButton_, dangerous);
    buttons->addWidget(cancelButton_);
    buttons->addWidget(confirmButton_);
    column->addLayout(buttons);

    // Return presses the focused button itself, inside a dialog or not: outside one Cancel is
    // no default button, and the key would reach the card, which confirms.
    for (QPushButton* button : {cancelButton_, confirmButton_})
        button->installEventFilter(this);
    connect(cancelButton_, &QPushButton::clicked, this, [this] { cancel_(); });
    connect(confirmButton_, &QPushButton::clicked, this, [this] { confirm_(); });

    fitHeight();

    auto* shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(QColor::fromRgbF(0, 0, 0, 0.33f));
    shadow->setBlurRadius(20);
    shadow->setOffset(0, 0);
    setGraphicsEffect(shadow);
}

void ConfirmCard::setTitle(const QString& title) {
    if (title_->text() == title) return;
    title_->setText(title);
    setAccessibleName(title);
    fitHeight();
}

void ConfirmCard::setMessage(const QString& message) {
    if (!message_ || message_->text() == message) return;
    message_->setText(message);
    setAccessibleDescription(message);
    fitHeight();
}

void ConfirmCard::fitHeight() {
    // Wrapped lines need the height they take at the card's width, whatever layout holds it.
    layout()->activate();
    setFixedHeight(layout()->totalHeightForWidth(cardWidth));
}

bool ConfirmCard::event(QEvent* event) {
    bool handled = QFrame::event(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange ||
        event->type() == QEvent::Show)
        fitHeight();
    return handled;
}

bool ConfirmCard::focusNextPrevChild(bool next) {
    moveFocusRound(this, {cancelButton_, confirmButton_}, next);
    return true;
}

bool ConfirmCard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        (watched == cancelButton_ || watched == confirmButton_)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            auto* button = static_cast<QPushButton*>(watched);
            if (button->isEnabled()) button->click();
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void ConfirmCard::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        cancel_();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (confirmButton_->isEnabled()) confirm_();
        return;
    default:
        QFrame::keyPressEvent(event);
    }
}

void ConfirmCard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF shape(rect());
    Skin skin = skinOf(this);
    if (skin == Skin::classic) {
        // The desktop has no translucent material: an opaque window-coloured card.
        QPainterPath path;
        path.addRoundedRect(shape, radius, radius);
        painter.fillPath(path, palette().color(QPalette::Window));
        return;
    }
    // The skins' frosted card, showing the window's backdrop blurred through it.
    TileBackground background;
    if (SkinBackdrop* backdrop = SkinBackdrop::under(parentWidget())) {
        background.frosted = &backdrop->frosted();
        background.shapeOrigin = mapTo(backdrop, QPoint(0, 0));
    }
    paintTileBody(painter, shape, radius, skin, std::nullopt, background);
    paintTileBorder(painter, shape, radius, skin);
}

ConfirmPresenter::ConfirmPresenter(QWidget* window) : QWidget(window) {
    setObjectName(QStringLiteral("confirmPresenter"));
    window->installEventFilter(this);
    hide();
}

void ConfirmPresenter::present(const QString& title, const QString& message,
                               const QString& confirmLabel, bool dangerous,
                               std::function<void()> action) {
    clear();
    card_ = new ConfirmCard(
        title, message, confirmLabel, dangerous,
        [this, action = std::move(action)] {
            // The card goes first: the action may present the next one.
            auto run = action;
            clear();
            if (run) run();
        },
        [this] { clear(); }, this);
    place();
    show();
    raise();
    new FocusGuard(card_);
    card_->show();
    card_->setFocus();
}

void ConfirmPresenter::clear() {
    if (card_) {
        card_->hide();
        card_->deleteLater();
        card_ = nullptr;
    }
    hide();
}

bool ConfirmPresenter::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) place();
    return QWidget::eventFilter(watched, event);
}

void ConfirmPresenter::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor dim = palette().color(QPalette::Window);
    dim.setAlphaF(0.85f);
    painter.fillRect(rect(), dim);
}

void ConfirmPresenter::place() {
    if (!parentWidget()) return;
    setGeometry(parentWidget()->rect());
    if (!card_) return;
    card_->fitHeight();
    QSize size(ConfirmCard::cardWidth, card_->height());
    card_->setGeometry(
        QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size));
}

} // namespace bramwick
