#include "appearance/labels.h"

#include <algorithm>

#include <QEvent>
#include <QStringList>
#include <QTextLayout>

namespace bramwick {

QLabel* plainLabel(QWidget* parent, const char* name, const QString& text) {
    auto* made = new QLabel(parent);
    made->setTextFormat(Qt::PlainText);
    made->setText(text);
    if (name) made->setObjectName(QString::fromLatin1(name));
    return made;
}

QLabel* wrappingLabel(QWidget* parent, const char* name) {
    auto* made = plainLabel(parent, name);
    made->setWordWrap(true);
    made->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    return made;
}

QString literalButtonText(const QString& text) {
    QString escaped = text;
    return escaped.replace(u'&', QStringLiteral("&&"));
}

void setTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

LineLimitedLabel::LineLimitedLabel(int lines, QWidget* parent) : QLabel(parent), lines_(lines) {
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
}

void LineLimitedLabel::setFullText(const QString& text) {
    full_ = text;
    // What shows is cut to its lines; a screen reader and the tool tip have it all.
    setToolTip(text);
    setAccessibleName(text);
    fit();
}

int LineLimitedLabel::heightForWidth(int width) const {
    const QString lines = shown(width);
    if (lines.isEmpty()) return margins();
    return int(lines.count(QLatin1Char('\n'))) * fontMetrics().lineSpacing() +
           fontMetrics().height() + margins();
}

QSize LineLimitedLabel::sizeHint() const {
    QSize hint = QLabel::sizeHint();
    hint.setHeight(heightForWidth(width() > 0 ? width() : hint.width()));
    return hint;
}

QSize LineLimitedLabel::minimumSizeHint() const {
    return {0, fontMetrics().height() + margins()};
}

void LineLimitedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    fit();
}

void LineLimitedLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) fit();
}

int LineLimitedLabel::margins() const {
    const QMargins m = contentsMargins();
    return m.top() + m.bottom() + 2 * margin();
}

QString LineLimitedLabel::shown(int width) const {
    const QMargins m = contentsMargins();
    const qreal room = std::max(1, width - m.left() - m.right() - 2 * margin());
    QStringList lines;
    const QStringList paragraphs = full_.split(QLatin1Char('\n'));
    for (int p = 0; p < paragraphs.size() && lines.size() < lines_; ++p) {
        QTextLayout layout(paragraphs[p], font());
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(room);
            const QString rest = paragraphs[p].mid(line.textStart());
            if (lines.size() == lines_ - 1) {
                // The last line takes what is left of the whole text, cut to the room.
                QStringList after = paragraphs.mid(p + 1);
                after.prepend(rest);
                const QString tail = after.join(QLatin1Char(' '));
                lines << fontMetrics().elidedText(tail, Qt::ElideRight, int(room));
                break;
            }
            lines << paragraphs[p].mid(line.textStart(), line.textLength()).trimmed();
        }
        layout.endLayout();
    }
    return lines.join(QLatin1Char('\n'));
}

void LineLimitedLabel::fit() {
    const QString wanted = shown(width());
    if (text() != wanted) setText(wanted);
    updateGeometry();
}

} // namespace bramwick
