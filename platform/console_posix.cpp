#include "platform/console.h"

void UseUtf8Output() {}
