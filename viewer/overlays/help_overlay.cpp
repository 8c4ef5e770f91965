#include "help_overlay.h"

#include <QPainter>

#include <algorithm>

const WindowKey kWindowKeys[] = {
    {"Click", "drop a ring of particles (velocity field)"},
    {"Drag", "launch a particle with the drag as its velocity (acceleration field)"},
    {"Ctrl+wheel", "zoom in or out about the pointer"},
    {"Middle drag", "move the region with the pointer"},
    {"Home", "back to the region the window started with"},
    {"W", "show the whole region, or cover the view with it again"},
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
    {"S, Ctrl+S", "save the picture (PNG, or SVG for a name ending in .svg)"},
    {"H, F1", "show or hide this help"},
};
const int kWindowKeyCount = int(std::size(kWindowKeys));

namespace {

constexpr int kMargin = 12;
constexpr int kGap = 16;

QFont boldVersion(QFont font)
{
    font.setBold(true);
    return font;
}

} // namespace

HelpOverlay::HelpOverlay(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
    raise();
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
    for (const WindowKey& entry : kWindowKeys)
        actions = std::max(actions, metrics.horizontalAdvance(QString::fromUtf8(entry.action)));
    return QSize(2 * kMargin + keyColumnWidth() + kGap + actions,
                 2 * kMargin + (kWindowKeyCount + 1) * metrics.lineSpacing());
}

void HelpOverlay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(60, 60, 60), 1));
    painter.setBrush(QColor(255, 255, 255, 235));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);

    const QFontMetrics metrics = fontMetrics();
    const int keyWidth = keyColumnWidth();
    int baseline = kMargin + metrics.ascent();
    const QFont bold = boldVersion(font());
    painter.setFont(bold);
    painter.setPen(Qt::black);
    painter.drawText(kMargin, baseline, tr("Keys"));
    for (const WindowKey& entry : kWindowKeys) {
        baseline += metrics.lineSpacing();
        painter.setFont(bold);
        painter.drawText(kMargin, baseline, QString::fromUtf8(entry.key));
        painter.setFont(font());
        painter.drawText(kMargin + keyWidth + kGap, baseline, QString::fromUtf8(entry.action));
    }
}
