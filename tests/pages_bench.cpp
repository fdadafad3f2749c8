// Times of a project's build in the process, without the files' writing:
// the whole build with a fresh cache (as kpl build does it), and one page
// rendered again with a warm cache (as the designer does on a keystroke).
// Prints medians in milliseconds; a measurement, not a test.
#include "pages/build.h"
#include "pages/project.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

double Milliseconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since)
        .count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: pages_bench PROJECT.toml [RUNS]\n");
        return 1;
    }
    const int runs = argc > 2 ? std::atoi(argv[2]) : 21;
    std::vector<double> builds, pages, coldPages;
    std::size_t count = 0;
    for (int run = 0; run < runs; ++run) {
        auto start = std::chrono::steady_clock::now();
        Project project;
        RenderCache cache;
        std::vector<RenderedPage> rendered;
        if (!ReadProject(argv[1], project).ok || !RenderProject(project, cache, rendered).ok) {
            std::fprintf(stderr, "%s does not build\n", argv[1]);
            return 1;
        }
        std::vector<BuildFile> files = BuildFiles(argv[1], rendered, {});
        builds.push_back(Milliseconds(start));
        count = rendered.size();
        for (const Page& page : project.pages) {
            RenderCache fresh;
            DisplayImageBytes image;
            start = std::chrono::steady_clock::now();
            RenderPage(project, page, fresh, image);
            coldPages.push_back(Milliseconds(start));
            start = std::chrono::steady_clock::now();
            RenderPage(project, page, cache, image);
            pages.push_back(Milliseconds(start));
        }
    }
    std::printf("%zu pages: build (read, render, every file's bytes) %.2f ms; one page %.3f ms "
                "(warm cache), %.3f ms (fresh cache)\n",
                count, Median(builds), Median(pages), Median(coldPages));
    return 0;
}
