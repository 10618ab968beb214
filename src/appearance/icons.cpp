#include "appearance/icons.h"

#include <algorithm>
#include <map>
#include <mutex>

#include <QCache>
#include <QFile>
#include <QFontDatabase>
#include <QPainter>
#include <QPixmap>

#include "appearance/paint_kit.h"
#include "appearance/window_dressing.h"
#include "store/to_qstring.h"

// The embedded font lives in a static library: referencing its initialiser keeps it linked.
static void initIconResource() {
    Q_INIT_RESOURCE(icons);
}

namespace bramwick::Icons {

namespace {

struct Entry {
    std::string_view fontName;
    char32_t codepoint;
};

// Symbol name → the icon font's glyph. Names are the catalog's and the windows'; the glyphs
// were chosen for meaning, not for their font names.
const std::map<std::string_view, Entry>& table() {
    static const std::map<std::string_view, Entry> map{
        {"archivebox", {"inventory_2", 0xe1a1}},
        {"arrow.down.app", {"download_for_offline", 0xf000}},
        {"arrow.down.circle", {"download", 0xf090}},
        {"arrow.down.doc", {"file_download", 0xe2c4}},
        {"bubble.left.and.text.bubble.right", {"forum", 0xe0bf}},
        {"cable.connector", {"cable", 0xefe6}},
        {"candybarphone", {"phone_android", 0xe324}},
        {"checkmark.shield", {"verified_user", 0xe8e8}},
        {"chevron.left.forwardslash.chevron.right", {"code", 0xe86f}},
        {"clock.arrow.2.circlepath", {"update", 0xe923}},
        {"clock.arrow.circlepath", {"history", 0xe889}},
        {"cube", {"view_in_ar", 0xe9fe}},
        {"cube.box", {"widgets", 0xe1bd}},
        {"cube.transparent", {"category", 0xe574}},
        {"cup.and.saucer", {"coffee", 0xefef}},
        {"doc.on.doc", {"file_copy", 0xe173}},
        {"doc.on.doc.fill", {"content_copy", 0xe14d}},
        {"doc.text.magnifyingglass", {"find_in_page", 0xe880}},
        {"doc.zipper", {"folder_zip", 0xeb2c}},
        {"envelope", {"mail", 0xe158}},
        {"envelope.badge", {"mark_email_unread", 0xf18a}},
        {"folder.badge.minus", {"folder_delete", 0xeb34}},
        {"gearshape.2", {"settings_suggest", 0xf05e}},
        {"globe", {"public", 0xe80b}},
        {"hammer", {"hardware", 0xea59}},
        {"hammer.circle", {"build_circle", 0xef48}},
        {"hammer.fill", {"handyman", 0xf10b}},
        {"ipad.and.iphone", {"devices", 0xe1b1}},
        {"iphone.and.arrow.forward", {"mobile_screen_share", 0xe0e7}},
        {"iphone.gen3", {"smartphone", 0xe32c}},
        {"key", {"key", 0xe73c}},
        {"leaf", {"eco", 0xea35}},
        {"magnifyingglass", {"search", 0xe8b6}},
        {"memorychip", {"memory", 0xe322}},
        {"message", {"chat", 0xe0b7}},
        {"mug", {"local_cafe", 0xe541}},
        {"network", {"lan", 0xeb2f}},
        {"person.crop.circle.badge.xmark", {"person_remove", 0xef66}},
        {"photo.on.rectangle", {"photo_library", 0xe413}},
        {"photo.on.rectangle.angled", {"collections", 0xe3b6}},
        {"rectangle.on.rectangle", {"filter_none", 0xe3e0}},
        {"shippingbox", {"local_shipping", 0xe558}},
        {"sparkles", {"auto_awesome", 0xe65f}},
        {"square.and.arrow.up.on.square", {"ios_share", 0xe6b8}},
        {"square.grid.2x2", {"grid_view", 0xe9b0}},
        {"square.grid.3x3", {"apps", 0xe5c3}},
        {"square.stack.3d.down.right", {"layers", 0xe53b}},
        {"stethoscope", {"medical_services", 0xf109}},
        {"terminal", {"terminal", 0xeb8e}},
        {"trash", {"delete", 0xe872}},
        {"wrench.adjustable", {"build", 0xe869}},
        {"wrench.and.screwdriver", {"construction", 0xea3c}},
        {"folder", {"folder", 0xe2c7}},
        {"arrow.clockwise", {"refresh", 0xe5d5}},
        {"calendar.badge.clock", {"edit_calendar", 0xe742}},
        {"checkmark.circle", {"check_circle_outline", 0xe92d}},
        {"checkmark.circle.fill", {"check_circle", 0xe86c}},
        {"checkmark.shield.fill", {"gpp_good", 0xf013}},
        {"checkmark.square.fill", {"check_box", 0xe834}},
        {"chevron.right", {"chevron_right", 0xe5cc}},
        {"clock.arrow.trianglehead.counterclockwise.rotate.90", {"restore", 0xe8b3}},
        {"clock.badge.checkmark", {"schedule", 0xe8b5}},
        {"cpu", {"developer_board", 0xe30d}},
        {"exclamationmark.circle.fill", {"error", 0xe000}},
        {"exclamationmark.triangle.fill", {"warning", 0xe002}},
        {"externaldrive.fill", {"save", 0xe161}},
        {"eye.fill", {"visibility", 0xe8f4}},
        {"eye.slash", {"visibility_off", 0xe8f5}},
        {"fanblades", {"mode_fan_off", 0xec17}},
        {"folder.badge.plus", {"create_new_folder", 0xe2cc}},
        {"gearshape", {"settings", 0xe8b8}},
        {"hand.raised", {"front_hand", 0xe769}},
        {"info.circle", {"info", 0xe88e}},
        {"internaldrive", {"storage", 0xe1db}},
        {"iphone", {"phone_iphone", 0xe325}},
        {"lightbulb", {"lightbulb", 0xe0f0}},
        {"line.3.horizontal.decrease.circle", {"filter_list", 0xe152}},
        {"lock", {"lock_outline", 0xe899}},
        {"lock.fill", {"lock", 0xe897}},
        {"lock.shield", {"shield", 0xe9e0}},
        {"lock.shield.fill", {"security", 0xe32a}},
        {"nosign", {"block", 0xe14b}},
        {"paintpalette", {"palette", 0xe40a}},
        {"power", {"power_settings_new", 0xe8ac}},
        {"ruler", {"straighten", 0xe41c}},
        {"text.viewfinder", {"document_scanner", 0xe5fa}},
        {"trash.square", {"delete_forever", 0xe92b}},
        {"xmark", {"close", 0xe5cd}},
    };
    return map;
}

} // namespace

std::optional<char32_t> glyph(std::string_view symbol) {
    const auto& map = table();
    auto it = map.find(symbol);
    if (it == map.end()) return std::nullopt;
    return it->second.codepoint;
}

char32_t neutralGlyph() {
    return 0xe836;
} // an empty circle

std::string_view fontName(std::string_view symbol) {
    const auto& map = table();
    auto it = map.find(symbol);
    return it == map.end() ? std::string_view() : it->second.fontName;
}

std::vector<std::string_view> mappedSymbols() {
    std::vector<std::string_view> names;
    for (const auto& [name, entry] : table())
        names.push_back(name);
    return names;
}

const std::vector<std::string_view>& windowSymbols() {
    static const std::vector<std::string_view> names{
        "arrow.clockwise",
        "arrow.down.circle",
        "calendar.badge.clock",
        "checkmark.circle",
        "checkmark.circle.fill",
        "checkmark.shield.fill",
        "checkmark.square.fill",
        "chevron.right",
        "clock.arrow.trianglehead.counterclockwise.rotate.90",
        "clock.badge.checkmark",
        "cpu",
        "exclamationmark.circle.fill",
        "exclamationmark.triangle.fill",
        "externaldrive.fill",
        "eye.fill",
        "eye.slash",
        "fanblades",
        "folder",
        "folder.badge.plus",
        "gearshape",
        "hand.raised",
        "info.circle",
        "internaldrive",
        "iphone",
        "lightbulb",
        "line.3.horizontal.decrease.circle",
        "lock",
        "lock.fill",
        "lock.shield",
        "lock.shield.fill",
        "magnifyingglass",
        "nosign",
        "paintpalette",
        "power",
        "ruler",
        "sparkles",
        "square.grid.2x2",
        "text.viewfinder",
        "trash.square",
        "wrench.and.screwdriver",
        "xmark",
    };
    return names;
}

QString family() {
    static const QString name = [] {
        initIconResource();
        const int id = QFontDatabase::addApplicationFont(
            QStringLiteral(":/bramwick/icons/MaterialIcons-Regular.ttf"));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? QStringLiteral("Material Icons") : families.first();
    }();
    return name;
}

QFont font(qreal pixelSize) {
    QFont f(family());
    f.setPixelSize(std::max(1, qRound(pixelSize)));
    f.setStyleStrategy(QFont::NoFontMerging);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

QString notice() {
    QFile file(QStringLiteral(":/bramwick/icons/NOTICE"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

void paintSymbol(QPainter& painter, const QRectF& rect, std::string_view symbol,
                 const QColor& color, qreal pixelSize) {
    const char32_t code = glyph(symbol).value_or(neutralGlyph());
    painter.save();
    painter.setFont(font(pixelSize));
    painter.setPen(color);
    // The glyphs fill their em square; centre that square in the rect.
    const QRectF box(rect.center().x() - pixelSize / 2, rect.center().y() - pixelSize / 2,
                     pixelSize, pixelSize);
    painter.drawText(box, Qt::AlignCenter, QString::fromUcs4(&code, 1));
    painter.restore();
}

QIcon icon(std::string_view symbol, const QColor& color) {
    QIcon result;
    for (int side : {16, 22, 32, 48}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::TextAntialiasing);
        paintSymbol(painter, QRectF(0, 0, side, side), symbol, color, side);
        painter.end();
        result.addPixmap(pixmap);
    }
    return result;
}

} // namespace bramwick::Icons

namespace bramwick {

QColor iconTint(Skin skin, std::optional<QColor> color) {
    return color ? *color : Skins::palette(skin).tint;
}

QSizeF iconFrame(Skin skin, qreal size) {
    if (skin == Skin::classic) return {34, 22};
    return {size, size};
}

qreal iconGlowMargin(Skin skin) {
    return skin == Skin::nightfall ? 8 : 0;
}

namespace {

// The glyph's glow, blurred once per symbol, size, colour and pixel ratio.
const QPixmap& glyphGlow(std::string_view symbol, qreal pixelSize, const QColor& color,
                         qreal ratio) {
    static QCache<QString, QPixmap> cache(256);
    const QString key = QStringLiteral("%1|%2|%3|%4")
                            .arg(toQString(symbol))
                            .arg(pixelSize)
                            .arg(color.rgba())
                            .arg(ratio);
    if (QPixmap* hit = cache.object(key)) return *hit;
    const qreal pad = 12;
    const qreal side = pixelSize + 2 * pad;
    QImage image(QSizeF(side * ratio, side * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.scale(ratio, ratio);
        Icons::paintSymbol(p, QRectF(0, 0, side, side), symbol, color, pixelSize);
    }
    PaintKit::blur(image, 8 * ratio / 2);
    auto* pixmap = new QPixmap(QPixmap::fromImage(std::move(image)));
    pixmap->setDevicePixelRatio(ratio);
    cache.insert(key, pixmap);
    return *pixmap;
}

} // namespace

void paintSkinIcon(QPainter& painter, QPointF origin, Skin skin, std::string_view symbol,
                   std::optional<QColor> color, qreal size) {
    const QColor tint = iconTint(skin, color);
    const QSizeF frameSize = iconFrame(skin, size);
    const QRectF frame(origin, frameSize);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (skin == Skin::classic) {
        Icons::paintSymbol(painter, frame, symbol, tint, 22);
        painter.restore();
        return;
    }
    const qreal glyphSize = size * 0.45;
    if (skin == Skin::nightfall) {
        painter.setBrush(withOpacity(tint, 0.12));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(frame);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(withOpacity(tint, 0.45), 1));
        painter.drawEllipse(frame.adjusted(0.5, 0.5, -0.5, -0.5));
        const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
        const QPixmap& glow = glyphGlow(symbol, glyphSize, withOpacity(tint, 0.9), ratio);
        const QSizeF glowSize = QSizeF(glow.size()) / ratio;
        painter.drawPixmap(QPointF(frame.center().x() - glowSize.width() / 2,
                                   frame.center().y() - glowSize.height() / 2),
                           glow);
    } else {
        const QPainterPath shape = PaintKit::continuousRect(frame, 12);
        painter.fillPath(shape, withOpacity(tint, 0.12));
        painter.setPen(QPen(withOpacity(tint, 0.35), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(PaintKit::continuousRect(frame.adjusted(0.5, 0.5, -0.5, -0.5), 11.5));
    }
    Icons::paintSymbol(painter, frame, symbol, tint, glyphSize);
    painter.restore();
}

SkinIcon::SkinIcon(QString name, std::optional<QColor> color, qreal size, QWidget* parent)
    : QWidget(parent), name_(name.toStdString()), color_(color), size_(size) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize SkinIcon::sizeHint() const {
    const Skin skin = skinOf(this);
    const qreal margin = iconGlowMargin(skin);
    return (iconFrame(skin, size_) + QSizeF(2 * margin, 2 * margin)).toSize();
}

bool SkinIcon::event(QEvent* event) {
    if (event->type() == skinChangeEvent()) updateGeometry();
    return QWidget::event(event);
}

void SkinIcon::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const Skin skin = skinOf(this);
    const qreal margin = iconGlowMargin(skin);
    const QSizeF frame = iconFrame(skin, size_);
    const QPointF origin((width() - frame.width()) / 2, (height() - frame.height()) / 2);
    paintSkinIcon(painter, origin.x() < margin ? QPointF(margin, margin) : origin, skin, name_,
                  color_, size_);
}

} // namespace bramwick
