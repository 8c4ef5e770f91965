#include "field_launch.h"

#include "command_line.h"
#include "compile_formula.h"
#include "vfwindow.h"

#include <cstdlib>

bool launchField(VFWindow& window, const CommandLineRequest& request)
{
    // Only a seed given makes RAND repeatable: unseeded stays the default.
    if (request.seed) std::srand(unsigned(*request.seed ^ (*request.seed >> 32)));
    if (!window.setupField(request.settings, request.start)) return false;
    if (request.flowCount > 0) window.setFlowParticleCount(request.flowCount);
    for (const QChar key : request.keys)
        window.keyPressed(Qt::Key_A + (key.unicode() - 'A'), Qt::NoModifier);
    window.finishPendingWork();
    window.advanceTicks(request.ticks);
    return true;
}

int exportPicture(const CommandLineRequest& request, QString& failure)
{
    VFWindow window(nullptr);
    window.stopTimer(); // only the fixed ticks move anything, so every run draws the same
    window.setViewSize(request.pictureSize);
    CommandLineRequest beforeTime = request;
    beforeTime.ticks = 0;
    if (!launchField(window, beforeTime)) {
        const FormulaRejection& rejected = window.rejection();
        const FieldSettings& settings = request.settings;
        failure = FormulaErrorLine(rejected.label,
                                   rejected.label == QLatin1String("Fx") ? settings.fxText
                                                                         : settings.fyText,
                                   rejected.error);
        return 2;
    }
    // The keys may have taken room from the view (the panel); the time runs at the final size.
    window.setViewSize(request.pictureSize);
    window.advanceTicks(request.ticks);
    QString reason;
    if (window.writePicture(request.exportPath, &reason)) return 0;
    failure = QStringLiteral("cannot write %1: %2").arg(request.exportPath, reason);
    return 1;
}
