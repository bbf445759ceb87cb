#include "host/RandomToken.h"

#include <sys/random.h>

#include <cerrno>
#include <stdexcept>
#include <vector>

namespace vantrel::host {

std::string RandomToken(size_t bytes) {
    std::vector<unsigned char> random(bytes);
    size_t filled = 0;
    while (filled < bytes) {
        ssize_t got = ::getrandom(random.data() + filled, bytes - filled, 0);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw std::runtime_error("The system's random generator is not available.");
        }
        filled += static_cast<size_t>(got);
    }
    static const char kHex[] = "0123456789abcdef";
    std::string token;
    token.reserve(bytes * 2);
    for (unsigned char byte : random) {
        token += kHex[byte >> 4];
        token += kHex[byte & 0x0f];
    }
    return token;
}

}  // namespace vantrel::host
