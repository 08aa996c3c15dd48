#pragma once

#include <QByteArray>

// What the document service's readers share with the piecewise reader.
namespace XmlDocumentDetail {

// The encoding an ASCII-compatible file's declaration names; empty without.
QByteArray declaredEncoding(const QByteArray& data);
// True when a byte order mark or zero bytes show UTF-16 or UTF-32.
bool isWideEncoding(const QByteArray& data);

} // namespace XmlDocumentDetail
