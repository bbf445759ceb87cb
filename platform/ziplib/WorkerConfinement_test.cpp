// The library's worker threads never reach a file by name and never call the caller's functions:
// the calls of this program that take a path, and the caller's functions, note whether they run
// on a worker thread (named "lszip-worker").
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdarg>
#include <string_view>

#include "platform/ziplib/ZipTestSupport.h"

namespace {

std::atomic<int> g_workerPathCalls{0};
std::atomic<int> g_workerCallerCalls{0};
std::atomic<int> g_workerReads{0};

bool OnWorker() {
    char name[16] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    return std::string_view(name) == "lszip-worker";
}

void NotePath() {
    if (OnWorker()) {
        ++g_workerPathCalls;
    }
}

template <typename Fn>
Fn Real(const char* name) {
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

int32_t Check(const char*) {
    g_workerCallerCalls += OnWorker();
    return 1;
}
int32_t Progress(int32_t, int32_t, int32_t, int32_t, int32_t) {
    g_workerCallerCalls += OnWorker();
    return 0;
}
int32_t Report(int32_t, const char*) {
    g_workerCallerCalls += OnWorker();
    return 0;
}

}  // namespace

extern "C" {

int openat(int folder, const char* path, int flags, ...) {
    NotePath();
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    static auto real = Real<int (*)(int, const char*, int, ...)>("openat");
    return real(folder, path, flags, mode);
}

int open(const char* path, int flags, ...) {
    NotePath();
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    static auto real = Real<int (*)(const char*, int, ...)>("open");
    return real(path, flags, mode);
}

int fstatat(int folder, const char* path, struct stat* info, int flags) {
    NotePath();
    static auto real = Real<int (*)(int, const char*, struct stat*, int)>("fstatat");
    return real(folder, path, info, flags);
}

int mkdirat(int folder, const char* path, mode_t mode) {
    NotePath();
    static auto real = Real<int (*)(int, const char*, mode_t)>("mkdirat");
    return real(folder, path, mode);
}

int renameat(int from, const char* fromPath, int to, const char* toPath) {
    NotePath();
    static auto real = Real<int (*)(int, const char*, int, const char*)>("renameat");
    return real(from, fromPath, to, toPath);
}

int unlinkat(int folder, const char* path, int flags) {
    NotePath();
    static auto real = Real<int (*)(int, const char*, int)>("unlinkat");
    return real(folder, path, flags);
}

ssize_t pread(int fd, void* data, size_t size, off_t offset) {
    g_workerReads += OnWorker();
    static auto real = Real<ssize_t (*)(int, void*, size_t, off_t)>("pread");
    return real(fd, data, size, offset);
}

}  // extern "C"

namespace vantrel::ziplib::testing {
namespace {

TEST(WorkerConfinement, WorkersOnlyReadFromDescriptorsTheCallerOpened) {
    TestDrive drive;
    drive.Put("w/large.txt", std::string(9 << 20, 'x') + "end");
    for (int i = 0; i < 40; ++i) {
        drive.Put("w/sub/f" + std::to_string(i) + ".txt", "file " + std::to_string(i));
    }
    g_workerPathCalls = g_workerCallerCalls = g_workerReads = 0;
    for (int level : {1, 6}) {
        LSZIP_SETPATHCHECK(Check);
        LSZIP_SETMSG(Report);
        std::string archive = "c:\\w" + std::to_string(level) + ".zip";
        EXPECT_EQ((ZipCall{.archive = archive,
                           .level = level,
                           .flags = kRecurse,
                           .list = "c:\\w\\*.*",
                           .callback = Progress}
                       .Run()),
                  0);
        LSZIP_SETPATHCHECK(nullptr);
        LSZIP_SETMSG(nullptr);
    }
    EXPECT_GT(g_workerReads.load(), 0);  // the workers did the reading
    EXPECT_EQ(g_workerPathCalls.load(), 0);
    EXPECT_EQ(g_workerCallerCalls.load(), 0);
}

}  // namespace
}  // namespace vantrel::ziplib::testing
