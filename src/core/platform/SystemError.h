#pragma once

#include <QString>

class QFileDevice;

// German reasons for failed file operations. Qt and the C library word them
// in English; every message a user sees names the cause in German.
namespace SystemError {

// The reason for an errno value, e.g. ENOSPC -> "Der Datenträger ist voll".
QString reason(int error);
// The reason for the last failure of a Qt file (QFile, QSaveFile), from the
// errno behind its error text, else from its error kind.
QString reason(const QFileDevice& file);

} // namespace SystemError
