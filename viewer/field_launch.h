#pragma once

#include <QString>

class VFWindow;
struct CommandLineRequest;

// Sets `window` up as the command line asks: the settings and parameters, the random seed, the
// flow's particles, the keys pressed in order, then the time run in fixed ticks. False when a
// formula does not compile (the command line has checked them already).
bool launchField(VFWindow& window, const CommandLineRequest& request);

// Makes the window the command line asks for without showing it, runs it and writes its
// picture: the exit code, 0 when the file was written, 1 with the reason in `failure` when not.
int exportPicture(const CommandLineRequest& request, QString& failure);
