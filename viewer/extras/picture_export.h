#pragma once

#include <QString>

class QGraphicsView;
class QWidget;

// The file a picture saved under `path` goes to: `path` itself, or with ".png" added when it
// has no extension. Its format is that extension's: "svg" (any letter case) for a drawing,
// else an image format Qt can write; empty `format` when the extension names none.
struct PictureTarget
{
    QString path;
    QByteArray format;
};
PictureTarget pictureTargetOf(const QString& path);

// Writes what `view` shows, at the size it shows it, with the legends and notes over it (not
// the help): an SVG drawing, where arrows, guides and particles stay vector shapes, or an image
// in the format the file name's extension names (PNG when it has none, ".png" then added).
// The file appears whole or not at all: it is written beside the target first and renamed.
// False when it could not be written or the extension names no format (nothing is written
// then), with the reason in `reason` when one is given.
bool writePicture(QGraphicsView& view, const QString& path, QString* reason = nullptr);

// Asks for a file name to save the picture under, starting in the user's pictures folder (or
// home); empty when the user cancels.
QString askPicturePath(QWidget* parent);

// writePicture, telling the user in a warning box over `parent` when it fails.
bool savePictureOrWarn(QGraphicsView& view, const QString& path, QWidget* parent);
