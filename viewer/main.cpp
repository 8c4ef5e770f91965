#include "command_line.h"
#include "field_launch.h"
#include "mainwindow.h"
#include "vfwindow.h"

#include <QApplication>

#include <cstdio>

namespace {

QStringList argumentsOf(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// A picture made for a script reports only what went wrong with it: the toolkit's remarks about
// a platform without a screen (no runtime folder, no window manager) are no news to the caller.
void keepQuiet(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

int finish(int exitCode, const QString& message)
{
    std::fputs(message.toLocal8Bit().constData(), exitCode == 0 ? stdout : stderr);
    return exitCode;
}

} // namespace

int main(int argc, char* argv[])
{
    // Read before the toolkit starts: help, errors and pictures need no display.
    const CommandLineRequest request = parseCommandLine(argumentsOf(argc, argv));
    using Action = CommandLineRequest::Action;
    if (request.action == Action::Finish) return finish(request.exitCode, request.message);
    if (request.action == Action::ExportPicture) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(keepQuiet);
    }

    QApplication app(argc, argv);
    if (request.action == Action::ExportPicture) {
        QString failure;
        const int exitCode = exportPicture(request, failure);
        if (exitCode != 0) finish(exitCode, QStringLiteral("vector-fields: %1\n").arg(failure));
        return exitCode;
    }

    if (request.action == Action::OpenField) {
        VFWindow window(nullptr);
        if (!launchField(window, request)) return 2;
        window.show();
        return app.exec();
    }

    MainWindow form(nullptr);
    form.show();
    const int result = app.exec();
    // A field window closed together with the form may still wait for its deferred deletion.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return result;
}
