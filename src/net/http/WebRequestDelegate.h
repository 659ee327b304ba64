#pragma once

#include <memory>

class WebError;
class WebRequest;

// What a request tells the objects that asked for it. Every call is optional (the defaults do
// nothing); all of them arrive on the main thread. Requests do not own their delegates, but they
// notice when one is destroyed and stop calling it, so a delegate may go away while its request
// is still loading.
class WebRequestDelegate
{
public:
    WebRequestDelegate()
        : m_alive(std::make_shared<char>())
    {}
    // A copy is another delegate with its own lifetime.
    WebRequestDelegate(const WebRequestDelegate &)
        : m_alive(std::make_shared<char>())
    {}
    WebRequestDelegate &operator=(const WebRequestDelegate &) { return *this; }
    virtual ~WebRequestDelegate() = default;

    virtual void requestDidStartLoad(WebRequest *request) {}
    virtual void requestDidFinishLoad(WebRequest *request) {}
    virtual void requestDidFailLoadWithError(WebRequest *request, const WebError &error) {}
    virtual void requestDidCancelLoad(WebRequest *request) {}

    // Expires when this delegate is destroyed.
    std::weak_ptr<const void> lifetime() const { return m_alive; }

private:
    std::shared_ptr<const char> m_alive;
};
