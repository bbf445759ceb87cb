#pragma once
// The sign-in page, in the application's look: account, masked password and "Sign in". It posts
// to /signin into the whole window, so signing in from inside a frame brings the frameset back.

#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel::host {

// The most a sign-in form (or any request before sign-in) may carry: a name of at most 64
// characters and a long password, URL-encoded.
inline constexpr size_t kMaxSignInBytes = 4 * 1024;

inline constexpr std::string_view kWrongSignIn = "Unknown account or wrong password.";
inline constexpr std::string_view kLockedOut =
    "Too many failed sign-ins for this account or from this address. Sign-in is refused for a "
    "minute; please wait and try again.";
inline constexpr std::string_view kSignInsBusy =
    "Too many sign-ins at once. Please try again in a moment.";

// message: shown below the form (empty: none); account: the name to show in its box again.
std::string SignInPage(std::string_view message, std::string_view account);

}  // namespace vantrel::host
