#include "app/proxy_address_rule.h"

bool IsAcceptableProxyText(const std::string& text) {
    return text.size() > 1 && text.find(':', 1) != std::string::npos;
}
