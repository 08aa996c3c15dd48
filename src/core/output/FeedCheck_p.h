#pragma once

#include <QString>
#include <QStringView>

namespace FeedCheck::detail {

// What readers make of an HTML fragment; each member names the first case
// found, empty when there is none.
struct HtmlIssues
{
    QString relativeAddress; // a src or href value without a scheme
    QString activeContent;   // "<script>", "<iframe>" or an on... attribute
    QString unclosedTag;     // the first element opened and never closed
};

// A tolerant scan of tags and attributes, not a parser: comments and the
// body of script and style are skipped, void elements and those whose end
// tag HTML makes optional are never "left open".
HtmlIssues scanHtml(QStringView html);

} // namespace FeedCheck::detail
