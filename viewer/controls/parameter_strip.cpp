#include "parameter_strip.h"

#include "field_inputs.h"
#include "field_model.h"
#include "parameter_row.h"

#include <QGridLayout>

namespace {

// Where the sliders begin: around 0, where every parameter starts, and 20 seconds of time.
constexpr double kParameterLow = -5;
constexpr double kParameterHigh = 5;
constexpr double kTimeLow = 0;
constexpr double kTimeHigh = 20;

} // namespace

ParameterStrip::ParameterStrip(QWidget* parent) : QWidget(parent) {}

ParameterStrip* ParameterStrip::makeFor(const FieldModel& field, QWidget* parent)
{
    const FieldInputs inputs = InputsOf(field.Fx(), field.Fy());
    if (inputs.empty()) return nullptr;
    auto* strip = new ParameterStrip(parent);
    auto* grid = new QGridLayout(strip);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setColumnStretch(1, 1);
    const auto add = [&](const char* name, double low, double high, bool playable) {
        auto* row = new ParameterRow(QString::fromUtf8(name), field.SlotOf(name), low, high,
                                     playable, *grid, int(strip->allRows.size()), strip);
        connect(row, &ParameterRow::valueChanged, strip, &ParameterStrip::valuesChanged);
        strip->allRows.push_back(row);
        return row;
    };
    for (const std::string& name : inputs.parameters)
        add(name.c_str(), kParameterLow, kParameterHigh, false);
    if (inputs.usesTime) {
        strip->timeRow = add("t", kTimeLow, kTimeHigh, true);
        connect(strip->timeRow, &ParameterRow::playingChanged, strip, [strip](bool playing) {
            strip->playingClock = playing ? strip->timeRow->valueSlot() : nullptr;
        });
    }
    return strip;
}

ParameterRow* ParameterStrip::row(const QString& name) const
{
    for (ParameterRow* row : allRows)
        if (row->name() == name) return row;
    return nullptr;
}

void ParameterStrip::showTime()
{
    if (timeRow) timeRow->showValue();
}
