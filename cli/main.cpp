#include "cli/CommandLine.h"
#include "cli/CutterSession.h"
#include "platform/SettingsFile.h"
#include "platform/TerminationSignal.h"
#include "tags/WmaTags.h"

#include <QCoreApplication>

int main(int argc, char* argv[]) {
    // Read before Qt sees the arguments, so that no option is taken as one
    // of Qt's own.
    CommandLine::Options options;
    if (const auto status = CommandLine::Parse(argc, argv, options))
        return *status;

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnwell-cli"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tarnwell"));

    // The WMA tag library is looked up once; without it WMA outputs get no tags.
    LoadWmaLibrary();

    // Ctrl-C and SIGTERM stop a run under way at its next checkpoint, as the
    // Stop button does (the handler sets the run's stop flag); before and
    // between runs the session looks for them itself. Caught from the
    // start, so that no read goes on with the signal lost.
    TerminationSignal termination;
    CutterSession session(options, options.settings.isEmpty() ? SettingsFile::defaultPath()
                                                              : options.settings);
    QObject::connect(&termination, &TerminationSignal::terminationRequested,
                     [&session] { session.stop(); });
    return session.run();
}
