#pragma once

#include "field_settings.h"
#include "vfwindow.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// What the program's arguments ask for. Without arguments: the form, as always.
struct CommandLineRequest
{
    enum class Action
    {
        ShowForm,      // no arguments of the program's own
        OpenField,     // the field window at once, with the settings below
        ExportPicture, // the same window never shown, its picture written to exportPath
        Finish         // help, version or a rejected argument: print `message`, exit
    };
    Action action = Action::ShowForm;
    // For Finish: the exit code, and what to print (standard output for 0, else standard error).
    int exitCode = 0;
    QString message;

    FieldSettings settings;
    FieldStart start;
    // Keys that switch something on or off, pressed in this order before anything moves.
    QString keys;
    int flowCount = 0;   // the flow view's particles; 0 leaves the flow view to the keys
    long long ticks = 0; // 10 ms ticks run before the window shows or the picture is taken
    std::optional<std::uint64_t> seed;
    QString exportPath;
    QSize pictureSize; // its visible area; empty for the region's shape, 800 pixels at most
};

// Reads the arguments (the program's name first) without starting anything: every rejected
// argument gives Finish with exit code 2, a one-line reason and the usage; a formula that does
// not compile gives its message and place instead of the usage.
CommandLineRequest parseCommandLine(const QStringList& arguments);

// The lines that show how the program is called.
QString usageText();

// The size of a picture of `region` when none is asked for.
QSize pictureSizeFor(const Region& region);
