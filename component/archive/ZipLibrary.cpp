#include "component/archive/ZipLibrary.h"

#include <dlfcn.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace vantrel {

namespace lszip {

namespace {

namespace fs = std::filesystem;

enum class Side { Zip, Unzip };

const char* FileName(Side side) {
    return side == Side::Zip ? "liblspzipx.so" : "liblspuzipx.so";
}

// Loaded files and bound functions, shared by all threads; handles are never closed, because
// threads may still hold per-thread settings of the library.
struct Binding {
    std::mutex mutex;
    void* handles[2] = {nullptr, nullptr};
    std::map<std::string, void*> functions;
};

Binding& TheBinding() {
    static Binding binding;
    return binding;
}

void* Load(Binding& binding, Side side) {
    void*& handle = binding.handles[static_cast<int>(side)];
    if (handle) {
        return handle;
    }
    std::string file = FileName(side);
    std::vector<std::string> candidates;
    std::string own = ComponentFolder();
    if (!own.empty()) {
        candidates.push_back((fs::path(own) / file).string());
    }
    candidates.push_back(file);  // the system's library path
    std::string reason;
    for (const auto& candidate : candidates) {
        handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle) {
            return handle;
        }
        const char* error = dlerror();
        reason = error ? error : "not found";
    }
    throw std::runtime_error("The compression library " + file + " cannot be loaded (" + reason +
                             ").");
}

void* Bind(Side side, const char* name) {
    Binding& binding = TheBinding();
    std::lock_guard<std::mutex> lock(binding.mutex);
    auto known = binding.functions.find(name);
    if (known != binding.functions.end()) {
        return known->second;
    }
    void* function = dlsym(Load(binding, side), name);
    if (!function) {
        throw std::runtime_error(std::string("The compression library ") + FileName(side) +
                                 " has no function " + name + ".");
    }
    binding.functions.emplace(name, function);
    return function;
}

template <typename Fn>
Fn Function(Side side, const char* name) {
    return reinterpret_cast<Fn>(Bind(side, name));
}

// Calls fn with text as the library takes it (see ZipLibrary.h), or answers refused.
template <typename Call>
int32_t WithText(const std::string& text, int32_t refused, Call call) {
    if (text.find('\0') != std::string::npos) {
        return refused;
    }
    // char* is only the C interface's spelling: the library never writes into it.
    return call(const_cast<char*>(text.c_str()));
}

using NoArgs = int32_t (*)();
using TextArg = int32_t (*)(char*);
using CallbackArg = int32_t (*)(ZipProgressFn);

int32_t CallText(Side side, const char* name, const std::string& text) {
    return WithText(text, 0, Function<TextArg>(side, name));
}

}  // namespace

int32_t LSZIP_VER() {
    return Function<NoArgs>(Side::Zip, "LSZIP_VER")();
}
int32_t LSZIP_SETTEMPATH(const std::string& folder) {
    return CallText(Side::Zip, "LSZIP_SETTEMPATH", folder);
}
int32_t LSZIP_INCLUDE(const std::string& list) {
    return CallText(Side::Zip, "LSZIP_INCLUDE", list);
}
int32_t LSZIP_PASSWORD(const std::string& password) {
    return CallText(Side::Zip, "LSZIP_PASSWORD", password);
}
int32_t LSZIP_SETCALLBACK(ZipProgressFn callback) {
    return Function<CallbackArg>(Side::Zip, "LSZIP_SETCALLBACK")(callback);
}
int32_t LSZIP_EXECUTE(const std::string& archive, int32_t action, int32_t level, int32_t flags) {
    auto fn = Function<int32_t (*)(char*, int32_t, int32_t, int32_t)>(Side::Zip, "LSZIP_EXECUTE");
    return WithText(archive, LSZIP_E_ARGUMENT,
                    [&](char* text) { return fn(text, action, level, flags); });
}

int32_t LSZIP_SETPATHCHECK(ZipPathCheckFn check) {
    return Function<int32_t (*)(ZipPathCheckFn)>(Side::Zip, "LSZIP_SETPATHCHECK")(check);
}
int32_t LSZIP_SETMSG(ZipMessageFn report) {
    return Function<int32_t (*)(ZipMessageFn)>(Side::Zip, "LSZIP_SETMSG")(report);
}
int32_t LSZIP_GETBYTES(int64_t& read, int64_t& written) {
    return Function<int32_t (*)(int64_t*, int64_t*)>(Side::Zip, "LSZIP_GETBYTES")(&read, &written);
}

int32_t LSZIP_GETREPAIR(int32_t& recovered, int32_t& counted, std::string& keptAs) {
    using Fn = int32_t (*)(int32_t*, int32_t*, char*, int32_t);
    std::vector<char> path(65536);
    int32_t result = Function<Fn>(Side::Zip, "LSZIP_GETREPAIR")(&recovered, &counted, path.data(),
                                                                static_cast<int32_t>(path.size()));
    keptAs = path.data();
    return result;
}

int32_t LSUZ_VER() {
    return Function<NoArgs>(Side::Unzip, "LSUZ_VER")();
}
int32_t LSUZ_RESET() {
    return Function<NoArgs>(Side::Unzip, "LSUZ_RESET")();
}
int32_t LSUZ_ZIPNAME(const std::string& archive) {
    return CallText(Side::Unzip, "LSUZ_ZIPNAME", archive);
}
int32_t LSUZ_INCLUDE(const std::string& names) {
    return CallText(Side::Unzip, "LSUZ_INCLUDE", names);
}
int32_t LSUZ_EXTRACTTO(const std::string& folder) {
    return CallText(Side::Unzip, "LSUZ_EXTRACTTO", folder);
}
int32_t LSUZ_PASSWORD(const std::string& password) {
    return CallText(Side::Unzip, "LSUZ_PASSWORD", password);
}
int32_t LSUZ_SETCALLBACK(ZipProgressFn callback) {
    return Function<CallbackArg>(Side::Unzip, "LSUZ_SETCALLBACK")(callback);
}
int32_t LSUZ_EXECUTE(int32_t action, int32_t flags) {
    return Function<int32_t (*)(int32_t, int32_t)>(Side::Unzip, "LSUZ_EXECUTE")(action, flags);
}
int32_t LSUZ_SETPATHCHECK(ZipPathCheckFn check) {
    return Function<int32_t (*)(ZipPathCheckFn)>(Side::Unzip, "LSUZ_SETPATHCHECK")(check);
}
int32_t LSUZ_SETMSG(ZipMessageFn report) {
    return Function<int32_t (*)(ZipMessageFn)>(Side::Unzip, "LSUZ_SETMSG")(report);
}
int32_t LSUZ_GETBYTES(int64_t& read, int64_t& written) {
    return Function<int32_t (*)(int64_t*, int64_t*)>(Side::Unzip, "LSUZ_GETBYTES")(&read, &written);
}
int32_t LSUZ_GETNEXTEX(ZipEntryRecord& record, std::string& fullName, int64_t& size,
                       int64_t& compressedSize) {
    using Fn = int32_t (*)(void*, char*, int32_t, int64_t*, int64_t*);
    auto fn = Function<Fn>(Side::Unzip, "LSUZ_GETNEXTEX");
    // One buffer per thread: a listing calls this once per entry, for up to many thousands.
    thread_local std::vector<char> name(65536);
    name[0] = '\0';
    int32_t result =
        fn(&record, name.data(), static_cast<int32_t>(name.size()), &size, &compressedSize);
    fullName = result == 0 ? std::string(name.data()) : std::string();
    return result;
}

int32_t LSUZ_OPENENTRY(const std::string& name, void*& entry, int64_t& size) {
    auto fn = Function<int32_t (*)(char*, void**, int64_t*)>(Side::Unzip, "LSUZ_OPENENTRY");
    return WithText(name, LSZIP_E_ARGUMENT, [&](char* text) { return fn(text, &entry, &size); });
}
int32_t LSUZ_READENTRY(void* entry, ZipSinkFn sink, void* context) {
    using Fn = int32_t (*)(void*, ZipSinkFn, void*);
    return Function<Fn>(Side::Unzip, "LSUZ_READENTRY")(entry, sink, context);
}
int32_t LSUZ_CLOSEENTRY(void* entry) {
    return Function<int32_t (*)(void*)>(Side::Unzip, "LSUZ_CLOSEENTRY")(entry);
}

std::string ComponentFolder() {
    Dl_info info{};
    // A bare name (a program started through PATH) says nothing about the folder.
    if (dladdr(reinterpret_cast<void*>(&ComponentFolder), &info) && info.dli_fname &&
        std::string_view(info.dli_fname).find('/') != std::string_view::npos) {
        std::error_code ec;
        fs::path own = fs::canonical(info.dli_fname, ec);
        if (!ec) {
            return own.parent_path().string();
        }
    }
    // The component linked into a program: the program's own folder.
    std::error_code ec;
    fs::path program = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : program.parent_path().string();
}

}  // namespace lszip
}  // namespace vantrel
