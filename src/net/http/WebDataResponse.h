#pragma once

#include "net/http/WebResponse.h"

// Keeps the body bytes as they came. Never fails.
class WebDataResponse : public WebResponse
{
public:
    QByteArray data() const { return m_data; }

    std::optional<WebError> processResponse(WebRequest *request, const WebHttpResponse *response,
                                            const QByteArray &data) override;

private:
    QByteArray m_data;
};
