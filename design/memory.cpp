#include "design/memory.h"

#include "common/wholenumber.h"
#include "platform/userconfig.h"
#include "platform/userfiles.h"

#include <cstdio>
#include <sstream>

namespace {

// Kept small: a line a page with hidden layers.
constexpr std::size_t kMaxMemoryBytes = 64 * 1024;

} // namespace

std::string MemoryPath(const std::string& projectPath) {
    std::string why;
    const std::string folder = UserConfigFolder("kpl/design", why);
    if (folder.empty())
        return "";
    // FNV-1a of the path from the root: one file a project.
    std::uint64_t hash = 14695981039346656037u;
    for (unsigned char c : AbsolutePath(projectPath))
        hash = (hash ^ c) * 1099511628211u;
    char name[24];
    std::snprintf(name, sizeof name, "%016llx.txt", static_cast<unsigned long long>(hash));
    return folder + "/" + name;
}

void Recall(const std::string& memoryPath, DesignState& state, DesignerView& view) {
    std::string text;
    std::uint64_t length = 0;
    if (memoryPath.empty() || !ReadRegularFile(memoryPath, kMaxMemoryBytes, text, length).ok)
        return;
    std::istringstream lines(text);
    std::string line;
    auto number = [](const std::string& word, int lowest, int highest) {
        return int(WholeNumber(word, lowest, highest).value_or(lowest - 1));
    };
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string key, a, b;
        words >> key >> a;
        if (key == "page")
            view.page = number(a, -1, kFlashPages - 1);
        else if (key == "zoom")
            view.zoom = std::max(0, number(a, 0, 12));
        else if (key == "hidden" && words >> b) {
            for (std::size_t i = 0; i < state.project.pages.size(); ++i) {
                std::vector<bool>& hidden = state.hidden[i];
                if (state.project.pages[i].number != number(a, 0, kFlashPages - 1) ||
                    int(hidden.size()) != number(b, 0, 1 << 20))
                    continue;
                for (std::string layer; words >> layer;) {
                    int index = number(layer, 0, int(hidden.size()) - 1);
                    if (index >= 0)
                        hidden[std::size_t(index)] = true;
                }
            }
        }
    }
}

bool Remember(const std::string& memoryPath, const std::string& projectPath,
              const DesignState& state, const DesignerView& view, std::string& why) {
    if (memoryPath.empty())
        return true;
    std::string text = "# kpl design: what only the designer knows of " +
                       AbsolutePath(projectPath) + "\npage " + std::to_string(view.page) +
                       "\nzoom " + std::to_string(view.zoom) + "\n";
    for (std::size_t i = 0; i < state.project.pages.size(); ++i) {
        std::string layers;
        for (std::size_t layer = 0; layer < state.hidden[i].size(); ++layer)
            if (state.hidden[i][layer])
                layers += " " + std::to_string(layer);
        if (!layers.empty())
            text += "hidden " + std::to_string(state.project.pages[i].number) + " " +
                    std::to_string(state.hidden[i].size()) + layers + "\n";
    }
    std::string staged;
    FileOutcome written = StageFile(memoryPath, text, staged);
    if (written.ok)
        written = CommitStagedFile(staged, memoryPath);
    DiscardStagedFile(written.ok ? "" : staged);
    why = written.why;
    return written.ok;
}
