#include "picture_export.h"

#include <QDir>
#include <QFileDialog>
#include <QGraphicsView>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QSaveFile>
#include <QStandardPaths>
#include <QSvgGenerator>

namespace {

bool drawSvg(QGraphicsView& view, QIODevice& file)
{
    const QRect shown = view.viewport()->rect();
    QSvgGenerator drawing;
    drawing.setOutputDevice(&file);
    drawing.setSize(shown.size());
    drawing.setViewBox(QRect(QPoint(0, 0), shown.size()));
    drawing.setTitle(QStringLiteral("Vector field"));
    QPainter painter;
    if (!painter.begin(&drawing)) return false;
    painter.fillRect(QRect(QPoint(0, 0), shown.size()), view.viewport()->palette().base());
    view.render(&painter, QRectF(QPointF(0, 0), shown.size()), shown);
    return painter.end();
}

} // namespace

bool writePicture(QGraphicsView& view, const QString& path, QString* reason)
{
    QSaveFile file(path);
    const bool drawn =
        file.open(QIODevice::WriteOnly) &&
        (path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)
             ? drawSvg(view, file)
             : view.viewport()->grab().save(&file, "PNG")) &&
        file.commit(); // renames the finished file over the target; nothing is left otherwise
    if (!drawn && reason)
        *reason = file.error() != QFileDevice::NoError
                      ? file.errorString()
                      : QObject::tr("the picture could not be made");
    return drawn;
}

QString askPicturePath(QWidget* parent)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
    return QFileDialog::getSaveFileName(parent, QObject::tr("Save picture"),
                                        QDir(folder).filePath(QStringLiteral("vector-field.png")),
                                        QObject::tr("PNG image (*.png);;SVG drawing (*.svg)"));
}

bool savePictureOrWarn(QGraphicsView& view, const QString& path, QWidget* parent)
{
    if (writePicture(view, path)) return true;
    QMessageBox::warning(parent, QObject::tr("Picture not saved"),
                         QObject::tr("The picture could not be written to \"%1\".").arg(path));
    return false;
}
