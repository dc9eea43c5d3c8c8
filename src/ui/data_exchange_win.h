// Moving a dialog's members to and from its controls. Each call names the
// dialog window and the control ID; missing controls read as empty or 0.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace ui {

// What a number field says when its text is not an unsigned number.
constexpr char NotAPositiveInteger[] = "Please enter a positive integer.";

void SetFieldText(HWND dialog, int id, const std::string& text);
std::string GetFieldText(HWND dialog, int id);
// The most characters a person can type into an edit.
void LimitFieldText(HWND dialog, int id, int maxCharacters);

void SetFieldUnsigned(HWND dialog, int id, uint32_t value);
// The same for a field the user may be typing in: nothing is written when
// the field already shows the number, and the caret keeps its place.
void SetFieldUnsignedKeepingCaret(HWND dialog, int id, uint32_t value);
// Reads an unsigned number into `value`. Text that is not one is refused:
// the user is told "Please enter a positive integer.", the field gets the
// focus with its text selected, `value` keeps what it held, and the answer
// is false.
bool GetFieldUnsigned(HWND dialog, int id, uint32_t& value);

// Check boxes hold 1 when ticked and 0 otherwise; any other value shows the
// box clear.
void SetCheckBox(HWND dialog, int id, int checked);
int GetCheckBox(HWND dialog, int id);

}  // namespace ui
