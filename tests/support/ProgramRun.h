#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
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

inline ProgramRun runProgram(const QStringList& args,
                             const std::vector<std::pair<QString, QString>>& variables = {})
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
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = process.exitCode();
    r.out = QString::fromUtf8(process.readAllStandardOutput());
    r.err = QString::fromUtf8(process.readAllStandardError());
    return r;
}
