#include "net/http/WebDataResponse.h"

std::optional<WebError> WebDataResponse::processResponse(WebRequest *request,
                                                         const WebHttpResponse *response,
                                                         const QByteArray &data)
{
    m_data = data;
    return std::nullopt;
}
