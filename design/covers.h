// Where each layer of a page lies, for the canvas: which layer a click
// falls on, and the box a selection is outlined by. Found by drawing each
// layer alone with kpl build's code, its marks all dark, so that the page
// never works out itself where a layer draws.
#pragma once

#include "pages/project.h"

#include <vector>

struct LayerCover {
    bool any = false;                             // ink or a box on the page
    int left = 0, top = 0, right = 0, bottom = 0; // the box on the page; right and bottom past it
    DisplayImageBytes ink{};                      // the pixels it marks
    bool thin = false; // a line: its ink and the pixels beside it, not its box
};

// Each layer's cover, in the page's order (hidden layers too).
std::vector<LayerCover> CoversOf(const Project& project, const Page& page, RenderCache& cache);

// The covers of a group's layers where a use of it (a group layer) puts
// them; none when it names no group.
std::vector<LayerCover> GroupCoversOf(const Project& project, const Layer& use, RenderCache& cache);

// Whether a click on the pixel (x, y) falls on the layer: in its box, or
// for a line on or beside its ink.
bool Covers(const LayerCover& cover, int x, int y);
