#include "platform/Desktop.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cerrno>
#include <cmath>

#include <sys/resource.h>
#include <unistd.h>

namespace brindle {

namespace {

int twipsPerPixel(bool horizontal)
{
    double dpi = 96.0;
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
        const double d = horizontal ? s->logicalDotsPerInchX() : s->logicalDotsPerInchY();
        if (d > 1.0)
            dpi = d;
    }
    const int t = static_cast<int>(std::lround(1440.0 / dpi));
    return t < 1 ? 1 : t;
}

} // namespace

int twipsPerPixelX() { return twipsPerPixel(true); }
int twipsPerPixelY() { return twipsPerPixel(false); }

int twipsToPixelsX(double twips) { return static_cast<int>(std::lround(twips / twipsPerPixelX())); }
int twipsToPixelsY(double twips) { return static_cast<int>(std::lround(twips / twipsPerPixelY())); }
double pixelsToTwipsX(int pixels) { return static_cast<double>(pixels) * twipsPerPixelX(); }
double pixelsToTwipsY(int pixels) { return static_cast<double>(pixels) * twipsPerPixelY(); }

bool isBusyCursor()
{
    const QCursor* c = QGuiApplication::overrideCursor();
    return c && c->shape() == Qt::WaitCursor;
}

void showBusyCursor()
{
    if (!isBusyCursor())
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void restoreNormalCursor()
{
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}

void letPendingEventsRun() { QCoreApplication::processEvents(); }

void yieldToWindow()
{
    // On Linux the nice value belongs to the thread and is passed on to the threads it
    // creates. Where it cannot be changed, the work simply runs at the window's priority.
    const auto self = static_cast<id_t>(::gettid());
    errno = 0;
    const int now = ::getpriority(PRIO_PROCESS, self);
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, self, std::min(now + 5, 19));
}

void freezeRedraw(QWidget* w)
{
    if (w)
        w->setUpdatesEnabled(false);
}

void unfreezeRedraw(QWidget* w)
{
    if (w)
        w->setUpdatesEnabled(true);
}

} // namespace brindle
