// JPEG files that Debian 12's stb_image (2.27) must not be given.
#pragma once

#include <string>

// True when a JPEG has a Huffman table whose sixteen code counts add up to
// more than its 256 entries: stb builds the table without checking them
// and writes past it. The markers are walked as stb walks them, so that
// every table stb would build is checked; other files give false.
bool HasOverfullHuffmanTable(const std::string& bytes);
