// Saving: the apply pass, "&Apply Tags", "Select all Tags" and album-art input.
#include "frmMain.h"

#include "controls/XP_ProgressBar.h"

#include <QEvent>

#include <cmath>
#include <utility>

namespace brindle {

void frmMain::connectSaving() {}

bool frmMain::savingEvent(QObject*, QEvent*) { return false; }

void frmMain::ApplyCheckedFields() {}
void frmMain::ApplyTags() {}
void frmMain::chkAllTags_Click() {}

void frmMain::reportWriteFailures()
{
    if (writeFailures_.isEmpty())
        return;
    const QStringList failures = std::exchange(writeFailures_, {});
    platform_.messages->exclamation(this, QStringLiteral("These files could not be written:\n\n") +
                                              failures.join(QLatin1Char('\n')));
}

void frmMain::advanceProgress(int done)
{
    const int rows = model_->rowCount();
    if (rows <= 0)
        return;
    // The step is kept to three decimals, as the bar has always shown it.
    const double step = std::round(100.0 / rows * 1000.0) / 1000.0;
    XP_ProgressBarOlive->setVisible(true);
    XP_ProgressBarOlive->setValue(static_cast<int>(std::nearbyint(done * step)));
}

} // namespace brindle
