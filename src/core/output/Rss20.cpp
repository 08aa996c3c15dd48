#include "Rss20.h"

#include "platform/Error.h"

// Placeholder until the builder lands.
namespace Rss20 {
QString GenerateRSS20(const FeedDocument&) { return {}; }
void GenerateRSS20(const FeedDocument&, const QString&) { throw Error(QStringLiteral("RSS noch nicht verfügbar")); }
QString GetLanguageCode(const QString&) { return {}; }
} // namespace Rss20
