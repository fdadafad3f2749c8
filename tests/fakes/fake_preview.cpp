#include "platform/preview.h"
#include "tests/fakes/fakes.h"

void CreatePreviewSurface(int controlId) {
    FakeEvents.push_back("preview surface " + std::to_string(controlId));
}

void DrawPreview(const std::string& path) {
    FakeEvents.push_back("preview draw " + path);
}

void ClearPreview() {
    FakeEvents.push_back("preview clear");
}
