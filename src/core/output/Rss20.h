#pragma once

#include "document/FeedDocument.h"

#include <QString>
#include <QTimeZone>

class XmlDocument;

// The RSS 2.0 document of a project. Every value goes in unchanged; a value
// that is empty or switched off only decides whether its element is written.
// Dates and times of the project are local times of localZone; the document
// states them in UTC.
namespace Rss20 {

// The document as XML text.
QString GenerateRSS20(const FeedDocument& document,
                      const QTimeZone& localZone = QTimeZone::systemTimeZone());
// Builds the document and saves it to fileName through QSaveFile, replacing
// a file that is there; throws Error when it cannot be written (the old
// file then stays intact).
void GenerateRSS20(const FeedDocument& document, const QString& fileName,
                   const QTimeZone& localZone = QTimeZone::systemTimeZone());
// Builds the document into xml, replacing what it held.
void BuildRSS20(const FeedDocument& document, XmlDocument& xml,
                const QTimeZone& localZone = QTimeZone::systemTimeZone());

// The language code of a language text: "German (Germany) [de-de]" -> "de-de",
// the code between the brackets. The two misspelt rows of the list give
// valid codes ("Icelandic is]" -> "is", "Portuguese (Brazil) [vpt-br]" ->
// "pt-br"); a text without brackets is taken as the code itself.
QString GetLanguageCode(const QString& languageText);

} // namespace Rss20
