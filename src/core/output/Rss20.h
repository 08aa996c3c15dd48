#pragma once

#include "document/FeedDocument.h"

#include <QString>

// The RSS 2.0 document of a project.
namespace Rss20 {

// The document as XML text.
QString GenerateRSS20(const FeedDocument& document);
// Builds the document and saves it to fileName through QSaveFile, replacing
// a file that is there; throws Error when it cannot be written (the old
// file then stays intact).
void GenerateRSS20(const FeedDocument& document, const QString& fileName);

// The language code of a language text: "German (Germany) [de-de]" -> "de-de".
QString GetLanguageCode(const QString& languageText);

} // namespace Rss20
