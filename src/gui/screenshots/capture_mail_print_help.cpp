// Stand-in until the pictures of the e-mail windows, the print dialog and the
// help window are made here.

#include "gui/screenshots/captures.h"

namespace voltare::gui {

void CaptureMailPrintHelp(const QDir&) {}

}  // namespace voltare::gui
