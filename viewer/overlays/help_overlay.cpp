#include "help_overlay.h"

#include <QAbstractScrollArea>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>

const WindowKey kWindowKeys[] = {
    {"Click", "drop a ring of particles (velocity field)"},
    {"Drag", "launch a particle with the drag as its velocity (acceleration field)"},
    {"Ctrl+wheel", "zoom in or out about the pointer"},
    {"Middle drag", "move the region with the pointer"},
    {"Home", "back to the region the window started with"},
    {"W", "show the whole region, or cover the view with it again"},
    {"A", "arrows all one length, coloured by |F|; again: as designed"},
    {"L", "show or hide the vertical guide line"},
    {"C", "show or hide the S-shaped guide curve"},
    {"Space", "remove all particles and solution curves"},
    {"F", "flow view: thousands of particles streaming with the field"},
    {"+, -", "twice or half as many flow particles (500 to 200,000)"},
    {"T", "trails behind the particles"},
    {"D", "divergence map under the arrows (red spreads out, blue gathers)"},
    {"R", "curl map under the arrows (red turns left, blue turns right)"},
    {"E", "equilibria (F = 0) with their kinds, separatrices and limit cycles"},
    {"N", "nullclines: where Fx = 0 and where Fy = 0"},
    {"O", "clicks draw solution curves instead of dropping particles"},
    {"I", "information panel: formulas, equilibria, values under the pointer"},
    {"P", "pause or resume all motion"},
    {"S, Ctrl+S", "save the picture as the name's ending says: .png, .jpg, .svg, ..."},
    {"H, F1", "show or hide this help"},
};
const int kWindowKeyCount = int(std::size(kWindowKeys));

namespace {

constexpr int kMargin = 12;
constexpr int kGap = 16;
constexpr int kInset = 8; // from the view's edges
// However narrow the view, an action keeps this much width, in average characters.
constexpr int kNarrowestAction = 12;
constexpr int kWheelLines = 3;   // per notch
constexpr int kStackIndent = 12; // of an action under its key

QFont boldVersion(QFont font)
{
    font.setBold(true);
    return font;
}

QString actionOf(int index)
{
    return QString::fromUtf8(kWindowKeys[index].action);
}

} // namespace

HelpOverlay::HelpOverlay(QAbstractScrollArea* view) : QWidget(view), viewport(view->viewport())
{
    // A child of the view rather than of its viewport, which would scroll it with the field.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    viewport->installEventFilter(this);
    hide();
    place();
}

int HelpOverlay::keyColumnWidth() const
{
    const QFontMetrics metrics(boldVersion(font()));
    int width = 0;
    for (const WindowKey& entry : kWindowKeys)
        width = std::max(width, metrics.horizontalAdvance(QString::fromUtf8(entry.key)));
    return width;
}

QSize HelpOverlay::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    int actions = 0;
    for (int i = 0; i < kWindowKeyCount; ++i)
        actions = std::max(actions, metrics.horizontalAdvance(actionOf(i)));
    return QSize(2 * kMargin + keyColumnWidth() + kGap + actions,
                 2 * kMargin + (kWindowKeyCount + 1) * metrics.lineSpacing());
}

int HelpOverlay::actionHeight(int index) const
{
    // A line's spacing for each line the action wraps into, as one-line entries have.
    const QFontMetrics metrics = fontMetrics();
    const QRect wrapped =
        metrics.boundingRect(QRect(0, 0, actionWidth, 100000), Qt::TextWordWrap, actionOf(index));
    return wrapped.height() - metrics.height() + metrics.lineSpacing();
}

void HelpOverlay::place()
{
    const QRect area = viewport->geometry().adjusted(kInset, kInset, -kInset, -kInset);
    const int fullActions = sizeHint().width() - (2 * kMargin + keyColumnWidth() + kGap);
    const int narrowest =
        std::min(kNarrowestAction * fontMetrics().averageCharWidth(), fullActions);
    // Where the actions do not fit beside their keys even wrapped, they go under them.
    stacked = area.width() - 2 * kMargin - keyColumnWidth() - kGap < narrowest;
    actionLeft = kMargin + (stacked ? kStackIndent : keyColumnWidth() + kGap);
    actionWidth = std::max(std::min(fullActions, area.width() - actionLeft - kMargin), 1);
    // Where each action starts in the whole list and how tall it is, measured once.
    actionPlaces.clear();
    int top = kMargin + fontMetrics().lineSpacing();
    for (int i = 0; i < kWindowKeyCount; ++i) {
        const int lead = stacked ? fontMetrics().lineSpacing() : 0;
        const int height = actionHeight(i);
        actionPlaces.emplace_back(top + lead, height);
        top += lead + height;
    }
    contentHeight = top + kMargin;
    const int width = std::max(actionLeft + actionWidth, kMargin + keyColumnWidth()) + kMargin;
    setGeometry(area.left(), area.top(), width,
                std::max(std::min(contentHeight, area.height()), 2 * kMargin));
    scrollTo(scrolled);
    raise();
}

QRect HelpOverlay::textArea() const
{
    return rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
}

QRect HelpOverlay::actionRect(int index) const
{
    const auto [top, height] = actionPlaces.at(std::size_t(index));
    return QRect(actionLeft, top - scrolled, actionWidth, height);
}

void HelpOverlay::scrollTo(int position)
{
    const int clamped = std::clamp(position, 0, std::max(0, scrollRange()));
    if (clamped == scrolled) return;
    scrolled = clamped;
    update();
}

bool HelpOverlay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != viewport) return false;
    if (event->type() == QEvent::Resize) place();
    if (event->type() != QEvent::Wheel || !isVisible() || scrollRange() <= 0) return false;
    // Over the panel, a plain wheel scrolls the list instead of the field.
    const auto* wheel = static_cast<QWheelEvent*>(event);
    const QPoint at = viewport->mapTo(parentWidget(), wheel->position().toPoint());
    if (!geometry().contains(at) || wheel->modifiers() != Qt::NoModifier) return false;
    const int lines = kWheelLines * fontMetrics().lineSpacing();
    scrollTo(scrolled - wheel->angleDelta().y() * lines / 120);
    return true;
}

void HelpOverlay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(60, 60, 60), 1));
    painter.setBrush(QColor(255, 255, 255, 235));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);

    if (scrollRange() > 0) {
        // Where the shown part lies in the whole list, as a thin bar along the right edge.
        const int track = height() - 2 * kMargin;
        const int length = std::max(8, track * height() / contentHeight);
        const int top = kMargin + (track - length) * scrolled / scrollRange();
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(60, 60, 60, 140));
        painter.drawRoundedRect(QRectF(width() - kMargin / 2 - 2, top, 4, length), 2, 2);
    }

    painter.setClipRect(QRect(0, kMargin / 2, width(), height() - kMargin));
    const QFontMetrics metrics = fontMetrics();
    const QFont bold = boldVersion(font());
    painter.setFont(bold);
    painter.setPen(Qt::black);
    painter.drawText(kMargin, kMargin - scrolled + metrics.ascent(), tr("Keys"));
    for (int i = 0; i < kWindowKeyCount; ++i) {
        const QRect action = actionRect(i);
        painter.setFont(bold);
        const int keyLine = action.top() - (stacked ? metrics.lineSpacing() : 0);
        painter.drawText(kMargin, keyLine + metrics.ascent(),
                         QString::fromUtf8(kWindowKeys[i].key));
        painter.setFont(font());
        painter.drawText(action, Qt::TextWordWrap, actionOf(i));
    }
}
