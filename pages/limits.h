// The page project's limits, in one place: the reader and the checks refuse
// what lies beyond them, the painters stop at them, and docs/page-project.md
// lists them. Each is far beyond what a 120 x 32 page needs, and small
// enough that no project, however written, makes kpl run long, take much
// memory or overflow a number.
#pragma once

#include <cstdint>

// A project file, in bytes.
constexpr std::int64_t kMaxProjectFileBytes = 4 * 1024 * 1024;

// x, y, x2, y2 and the sizes of boxes, rectangles and text boxes: from
// -kMaxCoordinate to kMaxCoordinate (sizes from 0). A group's offset adds
// to its layers', so nothing drawn is further out than twice this.
constexpr int kMaxCoordinate = 10000;

// A picture's box, as drawn (a width or height of 0 reaching to the page's
// edge counts as far as it reaches): the picture is scaled and made black
// and white in full, also where the page cuts it.
constexpr int kMaxPictureBox = 1024;

// A pixel grid's rows, and the characters of each.
constexpr int kMaxPixelGrid = 1024;

// A text layer's text, in bytes of UTF-8.
constexpr int kMaxTextBytes = 4096;

// An outline font's size in pixels per em.
constexpr int kMaxFontSize = 255;

// A page's name: it becomes a file name and a C constant.
constexpr int kMaxPageNameLength = 64;

// The layers drawn for one page, the layers of the groups it uses counted
// each time the group is used.
constexpr int kMaxLayersDrawn = 1000;

// The steps of drawing one page: a layer, a glyph placed, a pixel of the
// page visited, a pixel of a picture's box. Within the limits above no
// ordinary page takes a hundredth of this; a page that reaches it is
// refused rather than drawn on for a long time.
constexpr std::int64_t kMaxDrawingSteps = std::int64_t(1) << 22;

// The pixels of pictures scaled into boxes in one build or designer
// session, counting each picture's own pixels once for every box size it is
// scaled to (the first megapixel of each free): scaling reads the whole
// picture.
constexpr std::int64_t kMaxScaledPixels = std::int64_t(1) << 30;
