#include "engine/authorization.h"

std::string Base64Encode(const std::string& bytes) {
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string encoded;
    encoded.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        unsigned group = static_cast<unsigned char>(bytes[i]) << 16 |
                         static_cast<unsigned char>(bytes[i + 1]) << 8 |
                         static_cast<unsigned char>(bytes[i + 2]);
        encoded += alphabet[group >> 18 & 63];
        encoded += alphabet[group >> 12 & 63];
        encoded += alphabet[group >> 6 & 63];
        encoded += alphabet[group & 63];
    }
    size_t rest = bytes.size() - i;
    if (rest == 0)
        return encoded;
    unsigned group = static_cast<unsigned char>(bytes[i]) << 16;
    if (rest == 2)
        group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    encoded += alphabet[group >> 18 & 63];
    encoded += alphabet[group >> 12 & 63];
    encoded += rest == 2 ? alphabet[group >> 6 & 63] : '=';
    encoded += '=';
    return encoded;
}

std::string MakeAuthorizationLine(const std::string& userName, const std::string& password) {
    return "Proxy-Authorization: Basic " + Base64Encode(userName + ":" + password) + "\r\n";
}
