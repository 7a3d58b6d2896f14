// Password digests: MD5 (RFC 1321) of the password's bytes as typed, no salt.
#pragma once

#include <string>
#include <string_view>

namespace vendrix::config {

// 32 upper-case hexadecimal digits, two per digest byte in digest order.
std::string Md5Hex(std::string_view data);

} // namespace vendrix::config
