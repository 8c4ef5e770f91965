#include "view_overlay.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QPainter>

ViewOverlay::ViewOverlay(QAbstractScrollArea* view, Qt::Corner corner)
    : QWidget(view), viewport(view->viewport()), corner(corner)
{
    // A child of the view rather than of its viewport, which would scroll it with the field.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    viewport->installEventFilter(this);
    hide();
}

void ViewOverlay::place()
{
    resize(sizeHint());
    const QRect visible = viewport->geometry();
    const int left = corner == Qt::TopLeftCorner || corner == Qt::BottomLeftCorner
                         ? visible.left() + kInset
                         : visible.right() + 1 - kInset - width();
    const int top = corner == Qt::TopLeftCorner || corner == Qt::TopRightCorner
                        ? visible.top() + kInset
                        : visible.bottom() + 1 - kInset - height();
    move(left, top);
    raise();
}

bool ViewOverlay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == viewport && event->type() == QEvent::Resize) place();
    return false; // the view sees every event as before
}

void ViewOverlay::paintBox(QPainter& painter) const
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(60, 60, 60), 1));
    painter.setBrush(QColor(255, 255, 255, 235));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
}
