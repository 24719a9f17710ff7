#include "tests/support/OggInfo.h"

#include <QProcess>
#include <QStandardPaths>

QString ogginfoWarnings(const QString& path) {
    const QString ogginfo = QStandardPaths::findExecutable(QStringLiteral("ogginfo"));
    if (ogginfo.isEmpty())
        return QStringLiteral("ogginfo is not installed (setup.sh installs vorbis-tools)");
    QProcess run;
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(ogginfo, {path});
    if (!run.waitForFinished(-1))
        return QStringLiteral("ogginfo did not run");
    const QString report = QString::fromLocal8Bit(run.readAll());
    if (run.exitCode() != 0 || report.contains(QLatin1String("WARNING"), Qt::CaseInsensitive) ||
        report.contains(QLatin1String("ERROR"), Qt::CaseInsensitive))
        return report;
    return QString();
}
