#pragma once

#include <QDebug>
#include <QString>

// A failure of the request layer, as a value. Errors of the connection and HTTP statuses outside
// 200-299 are in the URL-loading domain: the code is then the HTTP status (404, 500...) or one of
// the negative connection codes below.
class WebError
{
public:
    enum Code {
        Unknown = -1,
        Cancelled = -999,
        BadUrl = -1000,
        TimedOut = -1001,
        UnsupportedUrl = -1002,
        CannotFindHost = -1003,
        CannotConnectToHost = -1004,
        NetworkConnectionLost = -1005,
    };

    static QString urlLoadingDomain() { return QStringLiteral("NSURLErrorDomain"); }

    WebError() = default;
    WebError(QString domain, int code, QString description)
        : m_domain(std::move(domain))
        , m_code(code)
        , m_description(std::move(description))
    {}
    static WebError urlLoading(int code, const QString &description)
    {
        return WebError(urlLoadingDomain(), code, description);
    }

    QString domain() const { return m_domain; }
    int code() const { return m_code; }
    QString description() const { return m_description; }

private:
    QString m_domain;
    int m_code = 0;
    QString m_description;
};

inline QDebug operator<<(QDebug debug, const WebError &error)
{
    QDebugStateSaver saver(debug);
    debug.nospace().noquote() << "Error Domain=" << error.domain() << " Code=" << error.code()
                              << " \"" << error.description() << '"';
    return debug;
}
