#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <memory>

// One error of a JSON run. Every error but the first of a run carries the error that was last in
// the trace before it as `underlying`, so the outermost error wraps all the others.
class JsonError
{
public:
    static const QString &domain(); // "com.morvane.wavelark.json"

    JsonError() = default;
    JsonError(int code, const QString &description,
              std::shared_ptr<const JsonError> underlying = nullptr);
    JsonError(const JsonError &) = default;
    JsonError(JsonError &&) = default;
    JsonError &operator=(const JsonError &) = default;
    JsonError &operator=(JsonError &&) = default;
    ~JsonError();

    int code() const { return m_code; }
    QString description() const { return m_description; }
    const JsonError *underlying() const { return m_underlying.get(); }
    // "code 3: Expected value while parsing array"
    QString toString() const;

private:
    friend class QVJsonBase;

    int m_code = 0;
    QString m_description;
    // Released link by link in the destructor: a chain thousands of errors long must not be torn
    // down by recursion.
    mutable std::shared_ptr<const JsonError> m_underlying;
};

// State shared by the JSON reader's runs: the error trace and the nesting limit.
// Thread: one object per thread; separate objects are independent.
class QVJsonBase
{
public:
    QVJsonBase() = default;
    virtual ~QVJsonBase();

    QVJsonBase(const QVJsonBase &) = delete;
    QVJsonBase &operator=(const QVJsonBase &) = delete;

    // The errors of the last run, innermost first; empty when the run succeeded.
    const QList<JsonError> &errorTrace() const { return m_errorTrace; }
    // Called after every change of the trace (an error added, or the trace cleared).
    void setErrorTraceObserver(std::function<void()> observer) { m_observer = std::move(observer); }

    // Deepest allowed nesting of arrays and objects; 0 means no limit. Default 512.
    unsigned maxDepth() const { return m_maxDepth; }
    void setMaxDepth(unsigned maxDepth) { m_maxDepth = maxDepth; }

protected:
    void addError(int code, const QString &description);
    void clearErrorTrace();

    unsigned m_depth = 0;

private:
    QList<JsonError> m_errorTrace;
    unsigned m_maxDepth = 512;
    std::function<void()> m_observer;
};
