#include "picture_export.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsView>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QStandardPaths>
#include <QSvgGenerator>

namespace {

bool writeSvg(QGraphicsView& view, const QString& path)
{
    const QRect shown = view.viewport()->rect();
    QSvgGenerator drawing;
    drawing.setFileName(path);
    drawing.setSize(shown.size());
    drawing.setViewBox(QRect(QPoint(0, 0), shown.size()));
    drawing.setTitle(QStringLiteral("Vector field"));
    QPainter painter;
    if (!painter.begin(&drawing)) return false; // the file could not be opened
    painter.fillRect(QRect(QPoint(0, 0), shown.size()), view.viewport()->palette().base());
    view.render(&painter, QRectF(QPointF(0, 0), shown.size()), shown);
    painter.end();
    return QFileInfo(path).size() > 0;
}

} // namespace

bool writePicture(QGraphicsView& view, const QString& path)
{
    if (path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) return writeSvg(view, path);
    return view.viewport()->grab().save(path, "PNG");
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
