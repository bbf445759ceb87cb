#include "platform/asp/ScriptingContext.h"

namespace vantrel::asp {

namespace {

const std::string* Find(const FieldList& fields, std::string_view name) {
    for (const auto& [key, value] : fields) {
        if (key == name) {
            return &value;
        }
    }
    return nullptr;
}

std::string ValueOf(const FieldList& fields, std::string_view name) {
    const std::string* value = Find(fields, name);
    return value ? *value : std::string();
}

}  // namespace

Request::Request(FieldList queryString, FieldList form, FieldList cookies,
                 FieldList serverVariables)
    : queryString_(std::move(queryString)),
      form_(std::move(form)),
      cookies_(std::move(cookies)),
      serverVariables_(std::move(serverVariables)) {}

std::string Request::Item(std::string_view name) const {
    for (const FieldList* fields : {&queryString_, &form_, &cookies_, &serverVariables_}) {
        if (const std::string* value = Find(*fields, name)) {
            return *value;
        }
    }
    return {};
}

std::string Request::QueryString(std::string_view name) const {
    return ValueOf(queryString_, name);
}
std::string Request::Form(std::string_view name) const {
    return ValueOf(form_, name);
}
std::string Request::Cookies(std::string_view name) const {
    return ValueOf(cookies_, name);
}
std::string Request::ServerVariables(std::string_view name) const {
    return ValueOf(serverVariables_, name);
}

void Response::Write(std::string_view text) {
    if (connected_ && !text.empty()) {
        connected_ = sink_(text);
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
