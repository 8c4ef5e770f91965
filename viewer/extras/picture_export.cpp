#include "picture_export.h"

#include "view_overlay.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsView>
#include <QImageWriter>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QSaveFile>
#include <QStandardPaths>
#include <QSvgGenerator>

namespace {

const QByteArray kSvg = QByteArrayLiteral("svg");

// The legends and notes over the view, where they show over its visible area.
void paintOverlays(QGraphicsView& view, QPainter& painter)
{
    const QPoint corner = view.viewport()->pos();
    for (ViewOverlay* overlay :
         view.findChildren<ViewOverlay*>(QString(), Qt::FindDirectChildrenOnly))
        if (overlay->isVisibleTo(&view) && overlay->inPicture())
            overlay->render(&painter, overlay->pos() - corner, QRegion(), QWidget::DrawChildren);
}

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
    paintOverlays(view, painter);
    return painter.end();
}

bool drawImage(QGraphicsView& view, QIODevice& file, const QByteArray& format)
{
    QPixmap picture = view.viewport()->grab();
    QPainter painter(&picture);
    paintOverlays(view, painter);
    painter.end();
    return picture.save(&file, format.constData());
}

} // namespace

PictureTarget pictureTargetOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.isEmpty()) return {path + QStringLiteral(".png"), QByteArrayLiteral("png")};
    const QByteArray format = suffix.toLower().toLatin1();
    if (format == kSvg || QImageWriter::supportedImageFormats().contains(format))
        return {path, format};
    return {path, QByteArray()};
}

bool writePicture(QGraphicsView& view, const QString& path, QString* reason)
{
    const PictureTarget target = pictureTargetOf(path);
    if (target.format.isEmpty()) {
        if (reason)
            *reason = QObject::tr("\"%1\" names no picture format; use .png, .jpg or .svg, "
                                  "for example")
                          .arg(QFileInfo(path).suffix());
        return false;
    }
    QSaveFile file(target.path);
    const bool drawn =
        file.open(QIODevice::WriteOnly) &&
        (target.format == kSvg ? drawSvg(view, file) : drawImage(view, file, target.format)) &&
        file.commit(); // renames the finished file over the target
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
    return QFileDialog::getSaveFileName(
        parent, QObject::tr("Save picture"),
        QDir(folder).filePath(QStringLiteral("vector-field.png")),
        QObject::tr("PNG image (*.png);;JPEG image (*.jpg *.jpeg);;SVG drawing (*.svg)"));
}

bool savePictureOrWarn(QGraphicsView& view, const QString& path, QWidget* parent)
{
    QString reason;
    if (writePicture(view, path, &reason)) return true;
    QMessageBox::warning(parent, QObject::tr("Picture not saved"),
                         QObject::tr("The picture could not be written to \"%1\": %2.")
                             .arg(pictureTargetOf(path).path, reason));
    return false;
}
