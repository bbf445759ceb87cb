#include "platform/asp/ScriptingContext.h"

#include <optional>

#include "platform/text/CaseFolding.h"

namespace vantrel::asp {

namespace {

constexpr std::string_view kValueSeparator = ", ";

enum class Repeats { Join, FirstCounts };

// The value under name, or nullopt when the collection does not hold it.
std::optional<std::string> Lookup(const FieldList& fields, std::string_view name, Repeats repeats) {
    std::optional<std::string> found;
    for (const auto& [key, value] : fields) {
        if (!platform::EqualsIgnoringCase(key, name)) {
            continue;
        }
        if (!found) {
            found = value;
            if (repeats == Repeats::FirstCounts) {
                break;
            }
        } else {
            found->append(kValueSeparator).append(value);
        }
    }
    return found;
}

}  // namespace

Request::Request(FieldList queryString, FieldList form, FieldList cookies,
                 FieldList serverVariables)
    : queryString_(std::move(queryString)),
      form_(std::move(form)),
      cookies_(std::move(cookies)),
      serverVariables_(std::move(serverVariables)) {}

std::string Request::Item(std::string_view name) const {
    const std::pair<const FieldList*, Repeats> collections[] = {
        {&queryString_, Repeats::Join},
        {&form_, Repeats::Join},
        {&cookies_, Repeats::FirstCounts},
        {&serverVariables_, Repeats::FirstCounts},
    };
    for (const auto& [fields, repeats] : collections) {
        if (auto value = Lookup(*fields, name, repeats)) {
            return *value;
        }
    }
    return {};
}

std::string Request::Form(std::string_view name) const {
    return Lookup(form_, name, Repeats::Join).value_or("");
}
std::string Request::ServerVariables(std::string_view name) const {
    return Lookup(serverVariables_, name, Repeats::FirstCounts).value_or("");
}

void Response::Write(std::string_view text) {
    if (!connected_ || text.empty()) {
        return;
    }
    if (bufferSize_ == 0) {
        connected_ = sink_(text);
        return;
    }
    buffer_.append(text);
    if (buffer_.size() >= bufferSize_) {
        Drain();
    }
}

void Response::Drain() {
    if (connected_ && !buffer_.empty()) {
        connected_ = sink_(buffer_);
    }
    buffer_.clear();
}

void Response::End() {
    Drain();
}

void Response::Flush() {
    Drain();
    if (connected_ && push_) {
        connected_ = push_();
    }
}

std::string Session::Get(std::string_view name) const {
    std::lock_guard lock(mutex_);
    auto it = values_.find(name);
    return it == values_.end() ? std::string() : it->second;
}

void Session::Set(std::string_view name, std::string value) {
    std::lock_guard lock(mutex_);
    values_[std::string(name)] = std::move(value);
}

std::string Server::MapPath(std::string_view virtualPath) const {
    std::string path = webRoot_;
    while (!path.empty() && path.back() == '\\') {
        path.pop_back();
    }
    for (char c : virtualPath) {
        path += (c == '/') ? '\\' : c;
    }
    while (path.size() > 3 && path.back() == '\\') {
        path.pop_back();
    }
    return path;
}

}  // namespace vantrel::asp
