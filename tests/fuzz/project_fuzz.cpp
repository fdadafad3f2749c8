// The project reader on any text; a project it accepts writes back as a
// text that reads as the same project and writes the same text again, and
// renders (font files become DejaVu Sans, pictures are dropped: files are
// the user's) in bounded time and memory, whatever its numbers: scripts/fuzz
// runs this harness with a short time-out and a memory limit. The same text
// pasted into the designer as layers reads, or not, with the same reader.
#include "pages/project.h"
#include "tests/fuzz/fuzz.h"

#include <algorithm>

namespace {

void PastedLayers(const std::string& input) {
    std::vector<Layer> layers;
    if (!ParseLayers(input, "pasted", layers).ok)
        return;
    std::string text = LayersText(layers);
    std::vector<Layer> again;
    Require(ParseLayers(text, "pasted", again).ok, "written layers read back");
    Require(LayersText(again) == text, "written layers write back the same");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input = InputText(data, size);
    PastedLayers(input);
    Project project;
    if (!ParseProject(input, "in.toml", project).ok)
        return 0;
    std::string text = ProjectText(project).text;
    Project again;
    Require(ParseProject(text, "in.toml", again).ok, "a written project reads back");
    Require(ProjectText(again).text == text, "a written project writes back the same");
    auto fileless = [](std::vector<Layer>& layers) {
        layers.erase(
            std::remove_if(layers.begin(), layers.end(),
                           [](const Layer& layer) { return layer.kind == LayerKind::Picture; }),
            layers.end());
    };
    for (Group& group : project.groups)
        fileless(group.layers);
    for (Page& page : project.pages)
        fileless(page.layers);
    for (FontDefinition& font : project.fonts)
        if (!font.file.empty())
            font.file = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    RenderCache cache;
    std::vector<RenderedPage> pages;
    RenderProject(project, cache, pages);
    return 0;
}
