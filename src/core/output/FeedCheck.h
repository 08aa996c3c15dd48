#pragma once

#include "document/FeedDocument.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringView>
#include <QTimeZone>
#include <memory>

// The check before publishing: what in a project makes readers fail or
// misread its feed (Fehler), or makes the feed poorer or surprising to them
// (Warnung). It reads the project only; it never builds the RSS file, so it
// is cheaper than the build and can run before every export and upload.
namespace FeedCheck {

enum class Level { Error, Warning };

// One finding. The place is a channel setting's key (the main window's
// control; "lstNews" for the entry list as a whole), or an entry's position
// in list order from 0 with the TNewsEntry field name.
struct Finding
{
    Level level = Level::Error;
    QString key;    // channel key, or the entry's field name
    int entry = -1; // -1: a channel setting
    QString message;

    bool isEntry() const { return entry >= 0; }
    // "edtOwnerMail" or "Eintrag 3/guid" (counted from 1).
    QString place() const;
    // "Fehler" or "Warnung".
    QString levelText() const;
    // "Fehler: ORT: MELDUNG", the command line's line.
    QString line() const;

    bool operator==(const Finding&) const = default;
};

struct Options
{
    // The current moment; dates more than a day after it are in the future.
    QDateTime now = QDateTime::currentDateTimeUtc();
    // The zone of the project's dates and times (the builder's localZone).
    QTimeZone localZone = QTimeZone::systemTimeZone();
};

// Findings in a stable order: channel settings in table order, then the
// entries in list order, then the feed as a whole.
QList<Finding> run(const FeedDocument& document, const Options& options = {});

// The same check fed piece by piece, for a project read entry by entry: the
// channel's settings, then each entry in list order, then finish(). The
// findings and their order are those run() gives for the whole project.
class Checker
{
public:
    // Checks the channel's settings (the document's entries are ignored).
    explicit Checker(const FeedDocument& channel, const Options& options = {});
    ~Checker();
    Checker(const Checker&) = delete;
    Checker& operator=(const Checker&) = delete;

    void addEntry(const TNewsEntry& entry);
    // Adds the findings about the feed as a whole and hands all of them over.
    QList<Finding> finish();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

int errorCount(const QList<Finding>& findings);
// "2 Fehler, 1 Warnung" / "0 Fehler, 3 Warnungen".
QString summary(const QList<Finding>& findings);

// An absolute http or https address: scheme, "://", a host, no blanks.
bool isAbsoluteHttpAddress(QStringView text);

// The feed size from which many readers and services stop reading.
inline constexpr qint64 kLargeFeedBytes = 512 * 1024;

} // namespace FeedCheck
