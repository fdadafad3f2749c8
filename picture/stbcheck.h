// Files that Debian 12's stb_image (2.27) must not be given.
#pragma once

#include <string>

// True when a JPEG has a Huffman table whose sixteen code counts add up to
// more than its 256 entries (stb builds it without checking them and
// writes past it), or a scan that decodes with a table not defined before
// it (stb then reads the table from memory it never wrote, and indexes far
// outside it). The markers are walked as stb walks them, so that every
// table and scan stb would read is checked; other files give false.
bool HasUnsafeHuffmanTables(const std::string& bytes);

// True when a PNG chunk claims more bytes than the file has left: stb sets
// aside a chunk's claimed length before reading it, up to 2 GB for a file
// of a few bytes. Such a file is truncated. Other files give false.
bool HasPngChunkPastEnd(const std::string& bytes);
