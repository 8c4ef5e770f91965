#pragma once

#include <QObject>
#include <QString>

#include <optional>

class QGridLayout;
class QLabel;
class QLineEdit;
class QSlider;
class QToolButton;
class QWidget;

// The controls of one value a field reads, in one row of a grid: its name, a slider over a
// range, a box with the exact value and boxes with the range's ends; for the time t also a
// play/pause button. The value lives in the slot given, which the row writes; a value typed is
// taken exactly as typed, and the slider only shows where it lies. Input that is refused stays
// in its box, framed red with the reason as its tool tip, and the slot keeps its value.
class ParameterRow : public QObject
{
    Q_OBJECT

public:
    // Steps of the slider across its range.
    static constexpr int kSteps = 1000;

    // Controls for `*slot`, over `low` … `high` to begin with, made as children of `owner` and
    // placed in `row` of `grid`. The slot must outlive the row.
    ParameterRow(const QString& name, double* slot, double low, double high, bool playable,
                 QGridLayout& grid, int row, QWidget* owner);

    const QString& name() const { return label; }
    double value() const { return *slot; }
    double low() const { return rangeLow; }
    double high() const { return rangeHigh; }
    bool playing() const;
    // The slot the row writes: t's is the clock's while it plays.
    double* valueSlot() const { return slot; }
    // Shows the slot's value again after something else wrote it; a box being typed into, or
    // a slider being dragged, is left alone.
    void showValue();

    QSlider* slider() const { return bar; }
    QLineEdit* valueBox() const { return box; }
    QLineEdit* lowBox() const { return lowEdit; }
    QLineEdit* highBox() const { return highEdit; }
    QToolButton* playButton() const { return play; } // null unless playable

    // A number as typed: decimal or exponent notation in the C locale, blanks around it
    // allowed; nothing else, so not a comma, and no digit too many.
    static std::optional<double> parseNumber(const QString& text);
    // The shortest text that reads back as exactly `value`.
    static QString textOf(double value);

signals:
    // The slot holds a new value.
    void valueChanged();
    void playingChanged(bool playing);

private:
    void take(double newValue);
    void slid(int position);
    void typed();
    void rangeTyped(QLineEdit* edit);
    // The slider at the step nearest the value, without writing it.
    void placeSlider();
    // Marks `edit` refused with `reason`, or as good again when the reason is empty.
    static void mark(QLineEdit* edit, const QString& reason);
    void showPlaying(bool playing);

    QString label;
    double* slot;
    double rangeLow;
    double rangeHigh;
    bool placing = false; // the slider is being moved to the value, not by the user
    QLabel* nameLabel;
    QSlider* bar;
    QLineEdit* box;
    QLineEdit* lowEdit;
    QLineEdit* highEdit;
    QToolButton* play = nullptr;
};
