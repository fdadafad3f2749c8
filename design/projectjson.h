// The session as the page sees it: the project's pages and layers with
// every field the page edits, each page's pixels (its 480 bytes as hex),
// what went wrong in drawing, and whether undo, redo and save have
// anything to do.
#pragma once

#include "design/session.h"

#include <string>

std::string SessionJson(const Session& session);

// The 480 bytes as 960 lower-case hex digits.
std::string ImageHex(const DisplayImageBytes& image);

// The kinds of layer and their fields, from the table the file and the
// edits go by: the page builds its forms and choice lists from it.
std::string LayersJson();
