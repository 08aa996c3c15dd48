#include "ImportCommand.h"

#include "document/ProjectFile.h"
#include "output/FeedImport.h"

#include <QDateTime>
#include <QFileInfo>
#include <cstdio>

namespace CommandLine {
namespace {

void printError(const QString& text)
{
    std::fputs((text + u'\n').toUtf8().constData(), stderr);
}

} // namespace

int importFeed(const QStringList& args)
{
    QStringList rest = args;
    const bool force = rest.removeAll(QStringLiteral("--force")) > 0;
    if (rest.size() != 2) {
        printError(QStringLiteral("tavistrel: --import erwartet eine Quelle (Datei oder http/https-"
                                  "Adresse) und eine Projektdatei.\nAufruf: tavistrel --import "
                                  "QUELLE ZIEL.tvst [--force]"));
        return 2;
    }
    const QString source = rest[0];
    const QString target = rest[1];
    if (QFileInfo::exists(target) && !force) {
        printError(QStringLiteral("tavistrel: Die Projektdatei \u201E%1\u201C existiert bereits; "
                                  "mit --force wird sie ersetzt.")
                       .arg(target));
        return 2;
    }
    if (!FeedImport::isAddress(source) && QFileInfo(source).exists() &&
        QFileInfo(target).exists() &&
        QFileInfo(source).canonicalFilePath() == QFileInfo(target).canonicalFilePath()) {
        printError(QStringLiteral("tavistrel: Quelle und Ziel sind dieselbe Datei; sie wird nicht "
                                  "überschrieben."));
        return 2;
    }
    try {
        const FeedImportResult result =
            FeedImport::importSource(source, QDateTime::currentDateTime());
        ProjectFile::SaveProjectFile(result.document, target);
        const int count = result.document.entries.size();
        printError(QStringLiteral("%1 mit %2 importiert nach \u201E%3\u201C.")
                       .arg(result.format,
                            count == 1 ? QStringLiteral("1 Eintrag")
                                       : QStringLiteral("%1 Einträgen").arg(count),
                            target));
        if (!result.report.isEmpty())
            printError(FeedImport::reportText(result));
        return 0;
    } catch (const Error& e) {
        printError(QStringLiteral("tavistrel: ") + e.message());
        return 1;
    }
}

} // namespace CommandLine
