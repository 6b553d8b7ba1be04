// List operations and the file-name tools of the main window.
#include "frmMain.h"

#include <QEvent>

namespace brindle {

void frmMain::connectListTools() {}

bool frmMain::listToolsEvent(QObject*, QEvent*) { return false; }

} // namespace brindle
