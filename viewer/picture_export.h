#pragma once

#include <QString>

class QGraphicsView;

// Writes what `view` shows, at the size it shows it: an SVG drawing, where arrows, guides and
// particles stay vector shapes, when `path` ends in ".svg" (in any letter case), otherwise a
// PNG image. False when the file could not be written.
bool writePicture(QGraphicsView& view, const QString& path);
