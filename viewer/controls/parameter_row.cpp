#include "parameter_row.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

#include <charconv>
#include <cmath>
#include <system_error>

namespace {

// Refused input: framed red, the frame's width set so that the box keeps its size.
const char* const kRefusedStyle = "QLineEdit { border: 2px solid #d01010; padding: 0 1px; }";

QLineEdit* numberBox(const QString& hint, int characters, QWidget* owner)
{
    auto* edit = new QLineEdit(owner);
    edit->setToolTip(hint);
    edit->setProperty("hint", hint); // the tool tip again once refused input is corrected
    edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QString(characters, '0')) + 12);
    return edit;
}

} // namespace

ParameterRow::ParameterRow(const QString& name, double* slot, double low, double high,
                           bool playable, QGridLayout& grid, int row, QWidget* owner)
    : QObject(owner), label(name), slot(slot), rangeLow(low), rangeHigh(high)
{
    nameLabel = new QLabel(name, owner);
    bar = new QSlider(Qt::Horizontal, owner);
    bar->setRange(0, kSteps);
    bar->setSingleStep(1);
    bar->setPageStep(kSteps / 20);
    // Tab reaches it; a click does not take the keys from the view, whose letters go on working.
    bar->setFocusPolicy(Qt::TabFocus);
    bar->setToolTip(tr("%1: drag, or Tab here and use the arrow keys").arg(name));
    box =
        numberBox(tr("The exact value of %1: type a number, Return takes it").arg(name), 12, owner);
    lowEdit = numberBox(tr("Start of the slider's range"), 6, owner);
    highEdit = numberBox(tr("End of the slider's range"), 6, owner);
    nameLabel->setBuddy(box);

    grid.addWidget(nameLabel, row, 0);
    grid.addWidget(bar, row, 1);
    grid.addWidget(box, row, 2);
    grid.addWidget(lowEdit, row, 3);
    grid.addWidget(new QLabel(QStringLiteral("\u2026"), owner), row, 4);
    grid.addWidget(highEdit, row, 5);
    if (playable) {
        play = new QToolButton(owner);
        play->setCheckable(true);
        play->setFocusPolicy(Qt::TabFocus);
        grid.addWidget(play, row, 6);
        showPlaying(false);
        connect(play, &QToolButton::toggled, this, [this](bool on) {
            showPlaying(on);
            emit playingChanged(on);
        });
    }

    lowEdit->setText(textOf(low));
    highEdit->setText(textOf(high));
    box->setText(textOf(*slot));
    placeSlider();
    connect(bar, &QSlider::valueChanged, this, &ParameterRow::slid);
    connect(box, &QLineEdit::editingFinished, this, &ParameterRow::typed);
    connect(lowEdit, &QLineEdit::editingFinished, this, [this] { rangeTyped(lowEdit); });
    connect(highEdit, &QLineEdit::editingFinished, this, [this] { rangeTyped(highEdit); });
}

bool ParameterRow::playing() const
{
    return play && play->isChecked();
}

std::optional<double> ParameterRow::parseNumber(const QString& text)
{
    const QByteArray bytes = text.trimmed().toUtf8();
    const char* first = bytes.constData();
    const char* last = first + bytes.size();
    if (first != last && *first == '+') ++first;
    // from_chars reads as strtod does in the C locale, whatever locale the program runs in, and
    // rounds correctly: "0.1" is the double nearest 0.1.
    double value = 0;
    const std::from_chars_result read = std::from_chars(first, last, value);
    if (first == last || read.ec != std::errc() || read.ptr != last || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString ParameterRow::textOf(double value)
{
    char text[32];
    const std::to_chars_result written = std::to_chars(text, text + sizeof text, value);
    return QString::fromLatin1(text, int(written.ptr - text));
}

void ParameterRow::showValue()
{
    if (!(box->hasFocus() && box->isModified())) {
        box->setText(textOf(*slot));
        mark(box, QString());
    }
    if (!bar->isSliderDown()) placeSlider();
}

void ParameterRow::take(double newValue)
{
    if (newValue == *slot) return;
    *slot = newValue;
    emit valueChanged();
}

void ParameterRow::slid(int position)
{
    if (placing) return;
    // A step's value rounded to twelve digits: the slider gives 0.37, not 0.37000000000000011.
    const double exact = rangeLow + (rangeHigh - rangeLow) * position / kSteps;
    const double value = parseNumber(QString::number(exact, 'g', 12)).value_or(exact);
    box->setText(textOf(value));
    mark(box, QString());
    take(value);
}

void ParameterRow::typed()
{
    const std::optional<double> value = parseNumber(box->text());
    if (!value) {
        mark(box, tr("Not taken: \"%1\" is not a finite number; %2 stays %3.")
                      .arg(box->text(), label, textOf(*slot)));
        return;
    }
    mark(box, QString());
    box->setModified(false);
    take(*value);
    placeSlider();
}

void ParameterRow::rangeTyped(QLineEdit* edit)
{
    const bool isLow = edit == lowEdit;
    const std::optional<double> end = parseNumber(edit->text());
    QString reason;
    if (!end)
        reason = tr("Not taken: \"%1\" is not a finite number.").arg(edit->text());
    else if (isLow ? !(*end < rangeHigh) : !(rangeLow < *end))
        reason = isLow
                     ? tr("Not taken: the start must lie below the end, %1.").arg(textOf(rangeHigh))
                     : tr("Not taken: the end must lie above the start, %1.").arg(textOf(rangeLow));
    else if (!std::isfinite(isLow ? rangeHigh - *end : *end - rangeLow))
        reason = tr("Not taken: the range would be too wide to divide into steps.");
    if (!reason.isEmpty()) return mark(edit, reason);
    (isLow ? rangeLow : rangeHigh) = *end;
    mark(edit, QString());
    placeSlider();
}

void ParameterRow::placeSlider()
{
    const double where = std::round((*slot - rangeLow) / (rangeHigh - rangeLow) * kSteps);
    placing = true;
    bar->setValue(where < 0 ? 0 : where > kSteps ? kSteps : int(where)); // NaN: the start
    placing = false;
}

void ParameterRow::mark(QLineEdit* edit, const QString& reason)
{
    const bool refused = !reason.isEmpty();
    if (!refused && !edit->property("refused").toBool()) return;
    edit->setProperty("refused", refused);
    edit->setStyleSheet(refused ? QString::fromLatin1(kRefusedStyle) : QString());
    edit->setToolTip(refused ? reason : edit->property("hint").toString());
}

void ParameterRow::showPlaying(bool playing)
{
    play->setIcon(
        play->style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    play->setToolTip(playing ? tr("Pause %1").arg(label)
                             : tr("Play %1: it runs with the clock of "
                                  "the animation")
                                   .arg(label));
}
