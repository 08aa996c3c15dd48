#pragma once

#include "FeedDocument.h"
#include "platform/Error.h"
#include "platform/XmlDocument.h"

#include <QString>
#include <functional>

// The message for every project file that cannot be read.
inline const QString kNotAProjectFileMessage =
    QStringLiteral("Die Datei scheint keine Tavistrel Datei zu sein.");

// A project file that could not be read; message() tells why, for logs and
// the command line. Windows show kNotAProjectFileMessage instead.
class ProjectFileError : public Error
{
public:
    using Error::Error;
};

// The file itself cannot be read (missing, a folder, a FIFO, no
// permission); message() names the file and the cause in German, and the
// windows show it as it is.
class ProjectFileUnreadable : public ProjectFileError
{
public:
    using ProjectFileError::ProjectFileError;
};

namespace ProjectFile {

// Writes the project through QSaveFile; throws Error when the file cannot be
// written, leaving an existing file as it was. A new file is made readable
// by its owner only (it holds the FTP password); a replaced one keeps its mode.
void SaveProjectFile(const FeedDocument& document, const QString& path);
// The bytes SaveProjectFile writes.
QByteArray ProjectData(const FeedDocument& document);

// Reads the whole file into a fresh document; throws ProjectFileError when
// any part cannot be read (ProjectFileUnreadable when the file itself
// cannot), so the caller never gets half a project.
FeedDocument LoadProjectFile(const QString& path);
// Reads the project entry by entry, never holding it whole: onChannel gets
// a document with every setting and no entries, then onEntry each entry in
// list order (dropped after the call). Only files in the ordinary form are
// read this way; for any other, and on any error, it returns false, possibly
// after some calls: the caller then drops what it made and reads the file
// with LoadProjectFile, which applies every rule and names the problem.
// What the callbacks throw passes through.
bool StreamProjectFile(const QString& path,
                       const std::function<void(const FeedDocument& channel)>& onChannel,
                       const std::function<void(const TNewsEntry& entry)>& onEntry);
// The same from the file's bytes.
bool StreamProjectData(const QByteArray& data,
                       const std::function<void(const FeedDocument& channel)>& onChannel,
                       const std::function<void(const TNewsEntry& entry)>& onEntry);

// True for an existing regular file that starts like a project file.
bool looksLikeProjectFile(const QString& path);
// The same from the file's bytes.
FeedDocument LoadProjectData(const QByteArray& data);

// The text of the node's first child element of that name after the
// line-break rule; empty when there is none or it holds more than text.
QString ReadChildText(const char* name, XmlNode node);
// The same for an element already found (a null node gives the empty text).
QString ReadElementText(XmlNode element);
// The same into text, whose storage is reused.
void ReadElementText(XmlNode element, QString& text);

// Stored line breaks: each LF LF pair, scanned from the start without
// overlap, becomes CR LF.
QString applyLineBreakRule(QString text);
void applyLineBreakRuleInPlace(QString& text);

QString encodeBoolean(bool value);
// A number (true when not zero), or "True"/"False" in any case; throws
// ProjectFileError otherwise.
bool decodeBoolean(const QString& text);

} // namespace ProjectFile
