#include "platform/pause.h"
#include "tests/fakes/fakes.h"

void Pause(unsigned milliseconds) {
    FakeEvents.push_back("pause " + std::to_string(milliseconds));
}
