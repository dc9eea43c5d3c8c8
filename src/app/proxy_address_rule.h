// The one check that "Add New Proxy" makes of a typed proxy.
#pragma once

#include <string>

// True when the text has a colon somewhere after its first character
// ("12.12.12.12:80", "host:"); false for "", "12.12.12.12", ":80". Anything
// beyond that is left to whoever uses the proxy.
bool IsAcceptableProxyText(const std::string& text);
