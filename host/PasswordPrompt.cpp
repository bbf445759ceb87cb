#include "host/PasswordPrompt.h"

#include <termios.h>
#include <unistd.h>

#include <iostream>

namespace vantrel::host {

namespace {

std::optional<std::string> ReadLine() {
    std::string line;
    if (!std::getline(std::cin, line)) {
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

std::optional<std::string> AskWithoutEcho(const char* prompt) {
    std::cerr << prompt << std::flush;
    termios saved{};
    bool restore = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (restore) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    auto line = ReadLine();
    if (restore) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    }
    std::cerr << "\n";
    return line;
}

}  // namespace

std::optional<std::string> ReadNewPassword(std::string& error) {
    if (!::isatty(STDIN_FILENO)) {
        auto line = ReadLine();
        if (!line) {
            error = "no password on standard input";
        }
        return line;
    }
    auto first = AskWithoutEcho("Password: ");
    auto second = first ? AskWithoutEcho("Password again: ") : std::nullopt;
    if (!first || !second || *first != *second) {
        error = "the two passwords differ";
        return std::nullopt;
    }
    return first;
}

}  // namespace vantrel::host
