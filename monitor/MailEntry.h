#pragma once
// What the operator may type for the mail server and the addresses in the e-mail setup. Each
// pattern must match the whole text.

#include <string_view>

namespace lw {

// Letters, digits, dots and hyphens.
inline constexpr std::string_view kSmtpHostPattern = "[A-Za-z0-9.\\-]+";
// The characters of a mailbox name: white space, letters, digits and ! # $ % & ' * + - / = ? ^ _
// { } ~ ` | " . @
inline constexpr std::string_view kSmtpUserPattern = "[\\sA-Za-z0-9!#$%&'*+\\-/=?^_{}~`|\".@]+";
// A mailbox name (without '@'), '@', then a host as above.
inline constexpr std::string_view kEmailAddressPattern =
    "[\\sA-Za-z0-9!#$%&'*+\\-/=?^_{}~`|\".]+@[A-Za-z0-9.\\-]+";

} // namespace lw
