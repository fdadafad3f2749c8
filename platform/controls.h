// The controls of the running dialog, addressed by id. The flows of both
// tools move values through these and nothing else.
#pragma once

#include <string>

std::string GetControlText(int id);
void SetControlText(int id, const std::string& text);

// Checked means any state other than unchecked.
bool IsControlChecked(int id);
void SetControlChecked(int id, bool checked);

void EnableControl(int id, bool enabled);
