// Message boxes and the wait cursor, as the program shows them: every box is
// captioned with the program's name.
#pragma once

#ifdef _WIN32

#include "framework/afx_types.h"

// A notice: one OK button and a warning icon.
int AfxMessageBox(LPCSTR text, UINT type = MB_OK | MB_ICONWARNING);
// A question with Yes and No; returns IDYES or IDNO.
int AfxQuestionBox(LPCSTR text);

// Shows the hourglass; returns the cursor it replaced (null if none).
HCURSOR BeginWaitCursor();
void EndWaitCursor(HCURSOR previous);

#endif  // _WIN32
