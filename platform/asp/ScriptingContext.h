#pragma once
// The scripting context a page is run with: the request, the response it writes into, the user's
// session and the server's path mapping. The web host builds one per request; the component reaches
// it through the context slot of its module.

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/asp/OperationRecord.h"

namespace vantrel::asp {

// A failed call on the scripting context; its message is the description a page shows.
class AspError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Named values in the order they arrived; a name may repeat.
using FieldList = std::vector<std::pair<std::string, std::string>>;

// Every lookup compares names without regard to letter case: Request("op") finds OP. A missing
// name gives the empty text.
class Request {
  public:
    Request(FieldList queryString, FieldList form, FieldList cookies, FieldList serverVariables);

    // The default item: the first of the query string, the form, the cookies and the server
    // variables that holds the name gives the value, as that collection gives it.
    std::string Item(std::string_view name) const;
    // A field given more than once yields its values joined by ", " in the order they arrived:
    // "?a=1&a=&a=3" gives "1, , 3".
    std::string Form(std::string_view name) const;
    // SCRIPT_NAME, SERVER_NAME, REQUEST_METHOD, QUERY_STRING, REMOTE_ADDR, HTTP_HOST, ...
    std::string ServerVariables(std::string_view name) const;

  private:
    FieldList queryString_;
    FieldList form_;
    FieldList cookies_;
    FieldList serverVariables_;
};

// Text written here goes to the browser as it is written, or, with a buffer, in pieces of about
// the buffer's size and at once on Flush (progress dots must not wait). The sink returns false
// once the browser has gone; later writes are then dropped, so an operation under way still
// finishes its work.
class Response {
  public:
    using Sink = std::function<bool(std::string_view)>;
    // push, when given, is called by Flush after the buffer went to the sink: it sends on what
    // the layers below may still hold.
    explicit Response(Sink sink, size_t buffer = 0, std::function<bool()> push = {})
        : sink_(std::move(sink)), push_(std::move(push)), bufferSize_(buffer) {}

    void Write(std::string_view text);
    // Hands what is buffered to the sink and pushes it towards the browser now.
    void Flush();
    // Hands what is buffered to the sink (the page's end), without a push of its own.
    void End();
    bool IsClientConnected() const { return connected_; }

  private:
    void Drain();

    Sink sink_;
    std::function<bool()> push_;
    size_t bufferSize_;
    std::string buffer_;
    bool connected_ = true;
};

// One user's values, shared by all requests of that user's session.
class Session {
  public:
    std::string Get(std::string_view name) const;
    void Set(std::string_view name, std::string value);

  private:
    mutable std::mutex mutex_;
    std::map<std::string, std::string, std::less<>> values_;
};

class Server {
  public:
    // webRoot: the Windows path of the web site's root folder, e.g. c:\inetpub\wwwroot.
    explicit Server(std::string webRoot) : webRoot_(std::move(webRoot)) {}

    // The Windows path of a virtual path: "/" is the web root, "/a/b.htm" is webroot\a\b.htm.
    std::string MapPath(std::string_view virtualPath) const;

  private:
    std::string webRoot_;
};

struct ScriptingContext {
    Request& request;
    Response& response;
    Session& session;
    Server& server;
    // Where the result page reports each operation it ran; the host keeps an audit trail with it.
    // Empty: nobody listens.
    std::function<void(const OperationRecord&)> recordOperation = {};
};

}  // namespace vantrel::asp
