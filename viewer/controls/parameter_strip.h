#pragma once

#include <QString>
#include <QWidget>

#include <vector>

class FieldModel;
class ParameterRow;

// The controls under the view for what a field reads besides x and y: a row per parameter
// (names beginning with "P") in the order typed, over -5 … 5 to begin with, and a row for the
// time t over 0 … 20 with a play/pause button. Each row writes its value slot; the strip then
// says that the field changed. Made only for a field that has such names.
class ParameterStrip : public QWidget
{
    Q_OBJECT

public:
    // The strip for `field`'s inputs, showing the values their slots hold now; null when the
    // field has none. The field's slots must outlive the strip.
    static ParameterStrip* makeFor(const FieldModel& field, QWidget* parent);

    const std::vector<ParameterRow*>& rows() const { return allRows; }
    // The row of `name`, or null.
    ParameterRow* row(const QString& name) const;
    // t's value slot while t plays, for the animation to advance; null while it does not.
    double* clock() const { return playingClock; }
    // Shows t's value again after the animation moved it.
    void showTime();

signals:
    // A row wrote its slot.
    void valuesChanged();

private:
    explicit ParameterStrip(QWidget* parent);

    std::vector<ParameterRow*> allRows; // children of the strip
    ParameterRow* timeRow = nullptr;
    double* playingClock = nullptr;
};
