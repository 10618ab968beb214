#include "appearance/window_dressing.h"

#include <utility>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QPainter>
#include <QRadialGradient>
#include <QResizeEvent>
#include <QScrollArea>
#include <QThread>

#include "appearance/paint_kit.h"
#include "engine/settings_keys.h"
#include "platform/settings.h"

namespace bramwick {

namespace {
constexpr const char* skinProperty = "bramwickSkin";
constexpr const char* dressedProperty = "bramwickDressedScroll";
} // namespace

Skin skinOf(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QVariant value = w->property(skinProperty);
        if (value.isValid()) return static_cast<Skin>(value.toInt());
    }
    return Skins::fallback;
}

void setSkin(QWidget* root, Skin skin) {
    if (!root) return;
    root->setProperty(skinProperty, static_cast<int>(skin));
    announceSkin(root);
}

void announceSkin(QWidget* root) {
    if (!root) return;
    const Skin skin = skinOf(root);
    if (auto* area = qobject_cast<QAbstractScrollArea*>(root)) dressScrollArea(area, skin);
    for (auto* area : root->findChildren<QAbstractScrollArea*>())
        dressScrollArea(area, skin);
    QEvent event(skinChangeEvent());
    QCoreApplication::sendEvent(root, &event);
    root->update();
    for (auto* child : root->findChildren<QWidget*>()) {
        QEvent childEvent(skinChangeEvent());
        QCoreApplication::sendEvent(child, &childEvent);
        child->update();
    }
}

void dressWindow(QWidget* window, Skin skin) {
    if (auto scheme = colorScheme(skin))
        window->setPalette(schemePalette(*scheme, QApplication::palette()));
    else
        window->setPalette(QPalette());
    setSkin(window, skin);
}

QEvent::Type skinChangeEvent() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

std::optional<ColorScheme> colorScheme(Skin skin) {
    switch (skin) {
    case Skin::classic:
        return std::nullopt;
    case Skin::nightfall:
        return ColorScheme::dark;
    case Skin::hibernia:
        break;
    }
    return ColorScheme::light;
}

QPalette schemePalette(ColorScheme scheme, const QPalette& base) {
    // Each role as the dark scheme (nightfall's) and the light one (hibernia's) colour it.
    auto pick = [scheme](const QColor& dark, const QColor& light) {
        return scheme == ColorScheme::dark ? dark : light;
    };
    const QColor text = pick(withOpacity(Qt::white, 0.92), Hibernia::ink);
    const std::pair<QPalette::ColorRole, QColor> roles[] = {
        {QPalette::Window, pick(Nightfall::deep, Hibernia::page)},
        {QPalette::WindowText, text},
        {QPalette::Base, pick(Nightfall::ink, Qt::white)},
        {QPalette::AlternateBase, pick(Nightfall::deep.lighter(115), Hibernia::page)},
        {QPalette::Text, text},
        {QPalette::Button, pick(Nightfall::deep.lighter(140), Qt::white)},
        {QPalette::ButtonText, text},
        {QPalette::BrightText, Qt::white},
        {QPalette::Highlight, pick(Nightfall::blue, Hibernia::deepGreen)},
        {QPalette::HighlightedText, Qt::white},
        {QPalette::PlaceholderText,
         pick(withOpacity(Qt::white, 0.45), withOpacity(Hibernia::ink, 0.45))},
        {QPalette::ToolTipBase, pick(Nightfall::deep, Qt::white)},
        {QPalette::ToolTipText, text},
        {QPalette::Link, pick(Nightfall::cyan, Hibernia::deepGreen)},
        {QPalette::LinkVisited, pick(Nightfall::violet, Hibernia::navy)},
        {QPalette::Light, pick(Nightfall::deep.lighter(180), Qt::white)},
        {QPalette::Midlight, pick(Nightfall::deep.lighter(150), Hibernia::page)},
        {QPalette::Mid, pick(Nightfall::deep.lighter(120), QColor(200, 205, 212))},
        {QPalette::Dark, pick(Nightfall::ink, QColor(150, 156, 166))},
        {QPalette::Shadow, pick(Qt::black, withOpacity(Hibernia::navy, 0.5))},
    };
    const QColor disabledText = pick(withOpacity(Qt::white, 0.38), withOpacity(Hibernia::ink, 0.4));
    const std::pair<QPalette::ColorRole, QColor> disabledRoles[] = {
        {QPalette::WindowText, disabledText},
        {QPalette::Text, disabledText},
        {QPalette::ButtonText, disabledText},
        {QPalette::Window, pick(Nightfall::deep, Hibernia::page)},
        {QPalette::Base, pick(Nightfall::ink, Qt::white)},
        {QPalette::Button, pick(Nightfall::deep.lighter(120), Qt::white)},
    };
    QPalette p = base;
    for (const auto& [role, color] : roles) {
        p.setColor(QPalette::Active, role, color);
        p.setColor(QPalette::Inactive, role, color);
    }
    for (const auto& [role, color] : disabledRoles)
        p.setColor(QPalette::Disabled, role, color);
    return p;
}

namespace {

// The widget a scroll area scrolls, which fills itself with the window colour unless told not to.
QWidget* scrolled(QAbstractScrollArea* area) {
    auto* scroll = qobject_cast<QScrollArea*>(area);
    return scroll ? scroll->widget() : nullptr;
}

} // namespace

void dressScrollArea(QAbstractScrollArea* area, Skin skin) {
    if (!area) return;
    QWidget* viewport = area->viewport();
    const bool dressed = area->property(dressedProperty).toBool();
    if (skin != Skin::classic) {
        if (dressed) return;
        area->setProperty(dressedProperty, true);
        area->setProperty("bramwickFrameShape", static_cast<int>(area->frameShape()));
        area->setFrameShape(QFrame::NoFrame);
        area->setAutoFillBackground(false);
        // Only the fills go: the palette stays, since the check boxes and fields in the list
        // draw their boxes from it.
        if (viewport) viewport->setAutoFillBackground(false);
        if (QWidget* content = scrolled(area)) content->setAutoFillBackground(false);
    } else if (dressed) {
        area->setProperty(dressedProperty, false);
        area->setFrameShape(
            static_cast<QFrame::Shape>(area->property("bramwickFrameShape").toInt()));
        if (viewport) viewport->setAutoFillBackground(true);
        if (QWidget* content = scrolled(area)) content->setAutoFillBackground(true);
    }
}

SkinSettings& SkinSettings::instance() {
    static SkinSettings* settings = new SkinSettings;
    return *settings;
}

SkinSettings::SkinSettings() {
    token_ = Settings::standard().subscribe([this](const std::string& key) {
        if (key != SettingsKeys::skin && key != SettingsKeys::animateScans) return;
        auto announce = [this, key] {
            if (key == SettingsKeys::skin)
                emit skinChanged(skin());
            else
                emit animateScansChanged(
                    Settings::standard().boolean(SettingsKeys::animateScans).value_or(true));
        };
        if (QThread::currentThread() == thread())
            announce();
        else
            QMetaObject::invokeMethod(this, announce, Qt::QueuedConnection);
    });
}

Skin SkinSettings::skin() const {
    return Skins::fromStored(Settings::standard().string(SettingsKeys::skin));
}

std::optional<std::string> SkinSettings::setStored(Skin skin) {
    return Settings::standard().set(SettingsKeys::skin, Skins::rawValue(skin).toStdString());
}

SkinScene* SkinScene::attach(QWidget* window) {
    if (auto* existing = window->findChild<SkinScene*>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    auto* scene = new SkinScene(window);
    scene->apply(SkinSettings::instance().skin());
    return scene;
}

SkinScene::SkinScene(QWidget* window) : QObject(window), window_(window) {
    connect(&SkinSettings::instance(), &SkinSettings::skinChanged, this, &SkinScene::apply);
}

void SkinScene::apply(Skin skin) {
    if (!window_) return;
    if (auto scheme = colorScheme(skin)) {
        window_->setPalette(schemePalette(*scheme, QApplication::palette()));
        forcedPalette_ = true;
    } else if (forcedPalette_) {
        window_->setPalette(QPalette());
        forcedPalette_ = false;
    }
    setSkin(window_, skin);
}

QPainterPath contours(const QRectF& rect) {
    QPainterPath path;
    const qreal w = rect.width();
    const qreal ys[] = {rect.bottom() - 120, rect.bottom() - 70, rect.bottom() - 20};
    const qreal es[] = {0, -10, -20};
    for (int k = 0; k < 3; ++k) {
        const qreal y = ys[k], e = es[k];
        path.moveTo(rect.left() - 40, y);
        path.cubicTo(0.15 * w, y - 60, 0.3 * w, y - 200 + 2 * e, rect.center().x(), y - 60 + e);
        path.cubicTo(0.7 * w, y + 100, 0.85 * w, y - 80, rect.right() + 40, y - 130);
    }
    return path;
}

namespace {

void radialGlow(QPainter& painter, const QRectF& rect, QPointF unit, qreal radius, QColor color,
                qreal opacity) {
    const QPointF centre(rect.left() + unit.x() * rect.width(),
                         rect.top() + unit.y() * rect.height());
    QRadialGradient gradient(centre, radius);
    gradient.setColorAt(0, withOpacity(color, opacity));
    gradient.setColorAt(1, withOpacity(color, 0));
    painter.fillRect(rect, gradient);
}

} // namespace

void paintBackdrop(QPainter& painter, const QRectF& rect, Skin skin) {
    if (skin == Skin::classic) return;
    painter.save();
    if (skin == Skin::nightfall) {
        QLinearGradient base(rect.topLeft(), rect.bottomLeft());
        base.setColorAt(0, Nightfall::deep);
        base.setColorAt(1, Nightfall::ink);
        painter.fillRect(rect, base);
        radialGlow(painter, rect, {0.12, 0.05}, 520, Nightfall::blue, 0.3);
        radialGlow(painter, rect, {0.98, 0.9}, 560, Nightfall::violet, 0.24);
    } else {
        painter.fillRect(rect, Hibernia::page);
        radialGlow(painter, rect, {0.12, 0}, 620, Hibernia::green, 0.38);
        radialGlow(painter, rect, {1, 1}, 560, Hibernia::deepGreen, 0.2);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setOpacity(painter.opacity() * 0.6);
        QPen pen(withOpacity(Hibernia::green, 0.35), 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
        pen.setMiterLimit(10);
        painter.strokePath(contours(rect), pen);
    }
    painter.restore();
}

SkinBackdrop::SkinBackdrop(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void SkinBackdrop::setSkinOverride(std::optional<Skin> skin) {
    override_ = skin;
    if (skin) setSkin(this, *skin);
    update();
}

Skin SkinBackdrop::skin() const {
    return override_.value_or(skinOf(this));
}

SkinBackdrop* SkinBackdrop::under(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget())
        if (auto* backdrop = qobject_cast<SkinBackdrop*>(const_cast<QWidget*>(w))) return backdrop;
    return nullptr;
}

void SkinBackdrop::ensureRendered() {
    const qreal ratio = devicePixelRatioF();
    const Skin current = skin();
    if (renderedSize_ == size() && renderedSkin_ == current && renderedRatio_ == ratio &&
        !rendered_.isNull())
        return;
    renderedSize_ = size();
    renderedSkin_ = current;
    renderedRatio_ = ratio;
    QImage image(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        paintBackdrop(p, QRectF(QPointF(0, 0), QSizeF(size())), current);
    }
    // The frosted copy is blurred at a quarter of the size: it only holds soft colour.
    QImage small = image.scaled(image.size() / 4, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                       .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    PaintKit::blur(small, 24 * ratio / 4);
    frosted_ = QPixmap::fromImage(small);
    frosted_.setDevicePixelRatio(ratio / 4);
    rendered_ = QPixmap::fromImage(std::move(image));
}

const QPixmap& SkinBackdrop::rendered() {
    ensureRendered();
    return rendered_;
}

const QPixmap& SkinBackdrop::frosted() {
    ensureRendered();
    return frosted_;
}

void SkinBackdrop::paintEvent(QPaintEvent*) {
    if (skin() == Skin::classic) return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, rendered());
}

void SkinBackdrop::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
}

} // namespace bramwick
