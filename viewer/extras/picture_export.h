#pragma once

#include <QString>

class QGraphicsView;
class QWidget;

// Writes what `view` shows, at the size it shows it: an SVG drawing, where arrows, guides and
// particles stay vector shapes, when `path` ends in ".svg" (in any letter case), otherwise a
// PNG image. The file appears whole or not at all: it is written beside the target first and
// renamed. False when it could not be written, with the reason in `reason` when one is given.
bool writePicture(QGraphicsView& view, const QString& path, QString* reason = nullptr);

// Asks for a file name to save the picture under, starting in the user's pictures folder (or
// home); empty when the user cancels.
QString askPicturePath(QWidget* parent);

// writePicture, telling the user in a warning box over `parent` when it fails.
bool savePictureOrWarn(QGraphicsView& view, const QString& path, QWidget* parent);
