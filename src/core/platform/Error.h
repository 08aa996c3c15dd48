#pragma once

#include <QString>
#include <exception>

// The error type of core code: a readable message, shown as it is by the
// windows' general error report.
class Error : public std::exception
{
public:
    explicit Error(QString message);
    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};
