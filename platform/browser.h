// Browser seam: opens an address in the user's web browser and returns
// without waiting for the browser. The address may carry a secret, so it is
// put on no command line, where every local user can read it in the
// process list: it is written into a small HTML page that sends the
// browser on to it, and the browser is started on that page's file. The
// file is the user's alone (mode 0600 on Linux and macOS; on Windows an
// access list of the user alone) and lies where the user's browsers can
// read it, sandboxed ones included: on Linux and macOS in the home folder
// itself (a snap-packaged browser may read neither a hidden folder there
// nor the system's /tmp), else in the temporary folder; on Windows in the
// user's temporary folder.
#pragma once

#include <string>

// False, with the system's reason, when no page could be written or no
// browser started; the caller has printed the address anyway. On success
// `page` names the file, for RemoveBrowserPage when the caller ends (one
// left behind by a killed process names a server that is gone).
bool OpenInBrowser(const std::string& address, std::string& page, std::string& why);

void RemoveBrowserPage(const std::string& page);
