// Basic authentication for the upstream proxy.
#pragma once

#include <string>

// RFC 4648 Base64 with the standard alphabet and "=" padding, one unbroken token.
std::string Base64Encode(const std::string& bytes);

// "Proxy-Authorization: Basic <user:password in Base64>\r\n"
std::string MakeAuthorizationLine(const std::string& userName, const std::string& password);
