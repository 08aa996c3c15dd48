#pragma once

#include <QEventLoop>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <utility>
#include <vector>

// The program run as a headless process: no display, the given variables
// added to the environment.
struct ProgramRun
{
    int exitCode = -1; // -1: did not finish normally within 30 s
    QString out;
    QString err;
};

// With serveEvents the test's event loop runs while the program does, so
// servers living in the test's thread (TestHttpServer) can answer it.
inline ProgramRun runProgram(const QStringList& args,
                             const std::vector<std::pair<QString, QString>>& variables = {},
                             bool serveEvents = false)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    for (const auto& [name, value] : variables)
        env.insert(name, value);
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(TAVISTREL_PROGRAM_PATH), args);
    ProgramRun r;
    if (serveEvents) {
        QEventLoop loop;
        QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        if (process.state() != QProcess::NotRunning)
            loop.exec();
    } else {
        process.waitForFinished(30000);
    }
    if (process.state() != QProcess::NotRunning || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished(5000);
        return r;
    }
    r.exitCode = process.exitCode();
    r.out = QString::fromUtf8(process.readAllStandardOutput());
    r.err = QString::fromUtf8(process.readAllStandardError());
    return r;
}

// A zone with daylight saving time and a locale whose date order differs
// from the project's, so results cannot lean on the machine's own.
inline ProgramRun runHeadless(const QStringList& args)
{
    return runProgram(args, {{QStringLiteral("TZ"), QStringLiteral("Europe/Berlin")},
                             {QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8")}});
}
