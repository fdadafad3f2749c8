#include "platform/startup.h"
#include "tests/fakes/fakes.h"

void InitialiseCommonControls() {
    FakeEvents.push_back("common controls");
}
