// Browser seam: opens an address in the user's web browser and returns
// without waiting for the browser. False, with the system's reason, when
// no browser could be started; the caller has printed the address anyway.
#pragma once

#include <string>

bool OpenInBrowser(const std::string& address, std::string& why);
