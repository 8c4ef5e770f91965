#include "view_overlay.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QLinearGradient>
#include <QPainter>

#include <algorithm>

ViewOverlay::ViewOverlay(QAbstractScrollArea* view, Qt::Corner corner, int stackOrder)
    : QWidget(view), viewport(view->viewport()), corner(corner), stackOrder(stackOrder)
{
    // A child of the view rather than of its viewport, which would scroll it with the field.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    viewport->installEventFilter(this);
    hide();
}

void ViewOverlay::place()
{
    QList<ViewOverlay*> stack;
    for (ViewOverlay* overlay :
         parentWidget()->findChildren<ViewOverlay*>(QString(), Qt::FindDirectChildrenOnly))
        if (overlay->corner == corner) stack.append(overlay);
    std::stable_sort(stack.begin(), stack.end(), [](const ViewOverlay* a, const ViewOverlay* b) {
        return a->stackOrder < b->stackOrder;
    });
    const bool left = corner == Qt::TopLeftCorner || corner == Qt::BottomLeftCorner;
    const bool top = corner == Qt::TopLeftCorner || corner == Qt::TopRightCorner;
    const QRect visible = viewport->geometry();
    int taken = 0; // by the shown panels nearer the corner
    for (ViewOverlay* overlay : stack) {
        overlay->resize(overlay->sizeHint());
        const int x =
            left ? visible.left() + kInset : visible.right() + 1 - kInset - overlay->width();
        const int y = top ? visible.top() + kInset + taken
                          : visible.bottom() + 1 - kInset - taken - overlay->height();
        overlay->move(x, y);
        overlay->raise();
        if (overlay->isVisibleTo(parentWidget())) taken += overlay->height() + kInset;
    }
}

bool ViewOverlay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == viewport && event->type() == QEvent::Resize) place();
    return false; // the view sees every event as before
}

bool ViewOverlay::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    // The others of the corner move up or down with this one coming and going.
    if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent) place();
    return handled;
}

void ViewOverlay::paintBox(QPainter& painter) const
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(60, 60, 60), 1));
    painter.setBrush(QColor(255, 255, 255, 235));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
}

QSize ViewOverlay::legendSize(const QStringList& texts, int barWidth, int barHeight) const
{
    const QFontMetrics metrics = fontMetrics();
    int width = barWidth;
    for (const QString& text : texts)
        width = std::max(width, metrics.horizontalAdvance(text));
    const int height = 2 * metrics.lineSpacing() + (texts.size() > 2 ? barHeight + 4 : 0);
    return QSize(2 * kMargin + width, 2 * kMargin + height);
}

QRect ViewOverlay::paintLegendFrame(QPainter& painter, const QStringList& texts,
                                    int barHeight) const
{
    paintBox(painter);
    const QFontMetrics metrics = fontMetrics();
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.setPen(Qt::black);
    const int baseline = kMargin + metrics.ascent();
    painter.drawText(kMargin, baseline, texts.value(0));
    painter.setFont(font());
    if (texts.size() <= 2) {
        painter.drawText(kMargin, baseline + metrics.lineSpacing(), texts.value(1));
        return QRect();
    }
    return QRect(kMargin, kMargin + metrics.lineSpacing() + 2, width() - 2 * kMargin, barHeight);
}

void ViewOverlay::paintColourBar(QPainter& painter, const QRect& bar, QRgb (*colourAt)(double),
                                 double opacity)
{
    constexpr int kGradientStops = 16;
    QLinearGradient gradient(bar.topLeft(), bar.topRight());
    for (int i = 0; i <= kGradientStops; ++i) {
        const double t = double(i) / kGradientStops;
        gradient.setColorAt(t, QColor::fromRgb(colourAt(t)));
    }
    painter.setOpacity(opacity);
    painter.fillRect(bar, gradient);
    painter.setOpacity(1);
    painter.setPen(QColor(60, 60, 60));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(bar.adjusted(0, 0, -1, -1));
    painter.setPen(Qt::black);
}
