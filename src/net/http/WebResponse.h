#pragma once

#include "net/http/WebError.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QUrl>

#include <optional>

class WebRequest;

// The HTTP reply a body came with.
struct WebHttpResponse
{
    int statusCode = 0;
    QUrl url;
    QList<QPair<QByteArray, QByteArray>> headers;
};

// Turns a fetched body into a request's result. Called on the main thread once the whole body
// has arrived; `response` is null when the body came from the cache. An error makes every request
// of the fetch fail with it.
class WebResponse
{
public:
    virtual ~WebResponse() = default;
    virtual std::optional<WebError> processResponse(WebRequest *request,
                                                    const WebHttpResponse *response,
                                                    const QByteArray &data) = 0;
};
