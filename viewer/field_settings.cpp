#include "field_settings.h"

FieldSettings formFieldSettings(int mode, const QString& fxText, const QString& fyText)
{
    FieldSettings settings;
    settings.xMin = -5.0;
    settings.xMax = 5.0;
    settings.yMin = -5.0;
    settings.yMax = 5.0;
    settings.xCount = 20;
    settings.yCount = 20;
    settings.mode = mode;
    settings.fxText = fxText;
    settings.fyText = fyText;
    return settings;
}

FieldKind fieldKindOf(const FieldSettings& settings)
{
    return settings.mode == 1 ? FieldKind::Velocity : FieldKind::Acceleration;
}

Region regionOf(const FieldSettings& settings)
{
    Region region{settings.xMin, settings.xMax, settings.yMin, settings.yMax};
    region.xCount = settings.xCount;
    region.yCount = settings.yCount;
    return region;
}

QString fieldTitle(const FieldSettings& settings)
{
    const QString kind = fieldKindOf(settings) == FieldKind::Velocity
                             ? QStringLiteral("velocity field")
                             : QStringLiteral("acceleration field");
    return QStringLiteral("F = (%1, %2), %3")
        .arg(settings.fxText.trimmed(), settings.fyText.trimmed(), kind);
}

QRectF sceneRectOf(const Region& region)
{
    return QRectF(region.xMin, region.yMin, region.Width(), region.Height());
}
