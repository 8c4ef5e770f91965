#include "view_note.h"

#include <QAbstractScrollArea>
#include <QPainter>

namespace {

constexpr int kTextWidth = 320;

} // namespace

ViewNote::ViewNote(QAbstractScrollArea* view) : ViewOverlay(view, Qt::TopRightCorner) {}

void ViewNote::tell(QAbstractScrollArea* view, Topic topic, const QString& text)
{
    auto* note = view->findChild<ViewNote*>(QString(), Qt::FindDirectChildrenOnly);
    if (!note) {
        if (text.isEmpty()) return;
        note = new ViewNote(view);
    }
    note->say(topic, text);
}

void ViewNote::say(Topic topic, const QString& text)
{
    said[int(topic)] = text;
    if (this->text().isEmpty()) {
        hide();
        return;
    }
    place();
    update();
    show();
}

QString ViewNote::text() const
{
    QStringList parts;
    for (const QString& part : said)
        if (!part.isEmpty()) parts << part;
    return parts.join(QStringLiteral("\n\n"));
}

QRect ViewNote::textRect(int width) const
{
    return fontMetrics().boundingRect(QRect(0, 0, width, 10000), Qt::TextWordWrap, text());
}

QSize ViewNote::sizeHint() const
{
    const QRect needed = textRect(kTextWidth);
    return QSize(needed.width() + 2 * kMargin, needed.height() + 2 * kMargin);
}

void ViewNote::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintBox(painter);
    painter.setPen(Qt::black);
    painter.drawText(rect().adjusted(kMargin, kMargin, -kMargin, -kMargin), Qt::TextWordWrap,
                     text());
}
