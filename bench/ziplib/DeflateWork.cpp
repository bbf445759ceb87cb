// bench_deflatework FOLDER LEVEL: the deflate work of a tree, the lower bound of a zip at that
// level on one core. Every regular file below FOLDER is read into memory (not counted) and
// deflated whole by the engine the library uses at that level (ISA-L for level 1, libdeflate
// above); prints the files, the bytes before and after and the processor seconds of deflating
// alone. run.sh divides the seconds by the cores for the limit a parallel zip can reach.
#include <fcntl.h>
#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <vector>

namespace {

double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

bool ReadWhole(const std::filesystem::path& path, std::vector<uint8_t>& data) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    data.resize(std::filesystem::file_size(path));
    size_t done = 0;
    while (done < data.size()) {
        ssize_t got = ::read(fd, data.data() + done, data.size() - done);
        if (got <= 0) {
            break;
        }
        done += static_cast<size_t>(got);
    }
    ::close(fd);
    data.resize(done);
    return true;
}

// The deflated size of data at level.
size_t Deflate(int level, const std::vector<uint8_t>& data, std::vector<uint8_t>& out) {
    out.resize(data.size() + data.size() / 16 + 1024);
    if (level == 1) {
        static std::vector<uint8_t> levelBuffer(ISAL_DEF_LVL1_DEFAULT);
        isal_zstream stream;
        isal_deflate_init(&stream);
        stream.level = 1;
        stream.level_buf = levelBuffer.data();
        stream.level_buf_size = static_cast<uint32_t>(levelBuffer.size());
        stream.end_of_stream = 1;
        stream.flush = NO_FLUSH;
        stream.next_in = const_cast<uint8_t*>(data.data());
        stream.avail_in = static_cast<uint32_t>(data.size());
        stream.next_out = out.data();
        stream.avail_out = static_cast<uint32_t>(out.size());
        return isal_deflate(&stream) == COMP_OK ? stream.total_out : 0;
    }
    static libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
    return libdeflate_deflate_compress(compressor, data.data(), data.size(), out.data(),
                                       out.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_deflatework FOLDER LEVEL\n");
        return 2;
    }
    int level = std::atoi(argv[2]);
    size_t files = 0;
    uint64_t bytes = 0;
    uint64_t deflated = 0;
    double seconds = 0;
    std::vector<uint8_t> data;
    std::vector<uint8_t> out;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[1])) {
        if (!entry.is_regular_file() || entry.is_symlink() || !ReadWhole(entry.path(), data)) {
            continue;
        }
        double start = ThreadSeconds();
        deflated += Deflate(level, data, out);
        seconds += ThreadSeconds() - start;
        ++files;
        bytes += data.size();
    }
    std::printf("files %zu bytes %llu deflated %llu seconds %.4f\n", files,
                static_cast<unsigned long long>(bytes), static_cast<unsigned long long>(deflated),
                seconds);
    return 0;
}
