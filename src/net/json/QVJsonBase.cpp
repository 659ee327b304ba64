#include "net/json/QVJsonBase.h"

#include "AppInfo.h"

const QString &JsonError::domain()
{
    static const QString name = QLatin1String(AppInfo::kBundleIdentifier) + QStringLiteral(".json");
    return name;
}

JsonError::JsonError(int code, const QString &description,
                     std::shared_ptr<const JsonError> underlying)
    : m_code(code)
    , m_description(description)
    , m_underlying(std::move(underlying))
{}

JsonError::~JsonError()
{
    std::shared_ptr<const JsonError> next = std::move(m_underlying);
    while (next && next.use_count() == 1) {
        std::shared_ptr<const JsonError> after = std::move(next->m_underlying);
        next = std::move(after);
    }
}

QString JsonError::toString() const
{
    return QStringLiteral("code %1: %2").arg(m_code).arg(m_description);
}

QVJsonBase::~QVJsonBase()
{
    // Newest first, so each error's chain is still shared while the next one goes.
    while (!m_errorTrace.isEmpty())
        m_errorTrace.removeLast();
}

void QVJsonBase::addError(int code, const QString &description)
{
    std::shared_ptr<const JsonError> underlying;
    if (!m_errorTrace.isEmpty())
        underlying = std::make_shared<const JsonError>(m_errorTrace.constLast());
    m_errorTrace.append(JsonError(code, description, std::move(underlying)));
    if (m_observer)
        m_observer();
}

void QVJsonBase::clearErrorTrace()
{
    while (!m_errorTrace.isEmpty())
        m_errorTrace.removeLast();
    if (m_observer)
        m_observer();
}
