// Pauses the calling thread (Sleep on Win32).
#pragma once

void Pause(unsigned milliseconds);
