#include "picture_export.h"

#include <QFileInfo>
#include <QGraphicsView>
#include <QPainter>
#include <QPixmap>
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
