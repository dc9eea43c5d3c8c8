#include "app/proxy_address_rule.h"

bool IsAcceptableProxyText(const std::string& text) {
    size_t colon = text.find(':');
    return colon != std::string::npos && colon > 0;
}
