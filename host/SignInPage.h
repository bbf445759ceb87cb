#pragma once
// The sign-in page, in the application's look: account, masked password and "Sign in". It posts
// to /signin into the whole window, so signing in from inside a frame brings the frameset back.

#include <string>
#include <string_view>

namespace vantrel::host {

inline constexpr std::string_view kWrongSignIn = "Unknown account or wrong password.";
inline constexpr std::string_view kLockedOut =
    "Too many failed sign-ins for this account or from this address. Sign-in is refused for a "
    "minute; please wait and try again.";
inline constexpr std::string_view kSignInsBusy =
    "Too many sign-ins at once. Please try again in a moment.";

// message: shown below the form (empty: none); account: the name to show in its box again.
std::string SignInPage(std::string_view message, std::string_view account);

}  // namespace vantrel::host
