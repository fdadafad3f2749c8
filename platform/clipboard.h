// The clipboard: the text (ANSI, converted to UTF-16) replaces what the
// clipboard held, as CF_UNICODETEXT. Emptying and filling happen within one
// opening, so the clipboard is never left empty without the new text.
#pragma once

#include <string>

// False when the text could not be placed (clipboard held by another
// program, no memory); the clipboard is then left as it was.
bool PutClipboardText(const std::string& text);
