// The clipboard: the text (ANSI, converted to UTF-16) replaces what the
// clipboard held, as CF_UNICODETEXT; emptying and filling happen within one
// opening.
#pragma once

#include <string>

// True when the text is on the clipboard. False when it is not:
// - the clipboard could not be opened (another program held it for 200 ms)
//   or emptied, or there was no memory for the text: it is left as it was;
// - the text was refused after the clipboard had been emptied: the text it
//   held before is put back, as CF_UNICODETEXT alone (its other formats,
//   pictures for one, are gone). When it held no text, or that cannot be
//   put back either, the clipboard is left empty.
bool PutClipboardText(const std::string& text);
