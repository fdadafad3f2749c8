// One change the page asks for, applied to the project being designed. The
// page sends form fields; every edit names what it changes by page and
// layer index (their order in the project), so that the server's project
// stays the one truth and the page only shows it.
#pragma once

#include "design/covers.h"
#include "pages/project.h"

#include <map>
#include <string>
#include <vector>

// What the designer edits: the project and which layers are hidden. Hiding
// is the designer's own: a hidden layer is left out of the designer's
// drawing and still saved, built and stored.
struct DesignState {
    Project project;
    std::vector<std::vector<bool>> hidden; // [page][layer], as project.pages
};

DesignState StateOf(const Project& project);

using EditFields = std::map<std::string, std::string>;

struct EditOutcome {
    bool ok = false;
    std::string why;
    int page = -1; // the page whose drawing changed; -1: it may be any
};

// op=set page layer field value   (layer -1: the page's name or number)
// op=add page kind [after]        a new layer above `after` (default: on top)
// op=remove page layer
// op=move page layer to           to: the new index
// op=hide page layer value        value 1 or 0
// op=nudge page layer dx dy       the whole layer moved
// op=paint page layer x y value   one pixel of a pixel grid, at page
//                                 coordinates; the grid grows to take it
// op=set|remove|nudge|hide with layers=3,1,2 instead of layer: each of
//                                 them, all or none (a field set on those
//                                 that have it)
// op=duplicate page layers        copies above the topmost of them
// op=align page layers edge to    edge: left, centre, right, top, middle or
//                                 bottom of the page, or (to=selection) of
//                                 the layers' boxes together (`covers`)
// op=paste page text [after]      the layers of the text (as the file
//                                 writes them) above `after` (default: on top)
// op=group page layers            the layers become a new group (group_N)
//                                 used where the topmost of them was
// op=ungroup page layer           a group's use becomes its layers
// any of the above but hide with within=G (and page=0): made on the
//                                 layers of group G, every page that uses
//                                 it changing; align's `covers` are then
//                                 those of G's layers where a use draws them
// op=addpage number name
// op=removepage page
// op=duplicatepage page           a copy after it, under the first free
//                                 number; a page's number is refused when
//                                 another page has it, saying which
// On failure the state is as it was.
EditOutcome ApplyEdit(DesignState& state, const EditFields& fields,
                      const std::vector<std::vector<LayerCover>>* covers = nullptr);
