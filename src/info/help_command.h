#pragma once

namespace ondrel {

class Dialogs;

// Opens "./help/help.hlp", resolved against the working directory at this moment, in the
// help viewer; returns at once.
void ShowHelpFile(Dialogs& dialogs);

}  // namespace ondrel
