#include "platform/console.h"

void UseUtf8Output() {}

std::string ArgumentText(const std::string& argument) {
    return argument;
}
