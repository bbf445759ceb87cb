// A fuzz target as a plain program: runs every input it is given once (files, or folders of
// files) and fails as the fuzzer would. Built with any compiler, it keeps the seed corpus and
// every crash input found so far as a regression test of the normal test suite.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> InputsOf(const fs::path& path) {
    if (!fs::is_directory(path)) {
        return {path};
    }
    std::vector<fs::path> inputs;
    for (const auto& entry : fs::directory_iterator(path)) {
        if (entry.is_regular_file()) {
            inputs.push_back(entry.path());
        }
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

bool RunInput(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::fprintf(stderr, "running %s (%zu bytes)\n", path.c_str(), text.size());
    // Like libFuzzer, hand over a buffer of exactly the input's size, so a read past it shows.
    auto exact = std::make_unique<uint8_t[]>(text.size());
    std::copy(text.begin(), text.end(), exact.get());
    LLVMFuzzerTestOneInput(exact.get(), text.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 0;
    for (int i = 1; i < argc; ++i) {
        if (!fs::exists(argv[i])) {
            continue;  // a target without kept crash inputs has no folder for them
        }
        for (const auto& input : InputsOf(argv[i])) {
            if (!RunInput(input)) {
                return 1;
            }
            ++runs;
        }
    }
    std::fprintf(stderr, "%d inputs ran\n", runs);
    return runs > 0 ? 0 : 1;
}
