#pragma once
// Small desktop mechanisms the window's long loops and its layout use: twips, the busy
// cursor, one round of pending events, and freezing a widget's redraw.

class QWidget;

namespace brindle {

// Twips per pixel at the primary screen's logical resolution (15 at 96 dpi).
int twipsPerPixelX();
int twipsPerPixelY();
int twipsToPixelsX(double twips);
int twipsToPixelsY(double twips);
double pixelsToTwipsX(int pixels);
double pixelsToTwipsY(int pixels);

bool isBusyCursor();
void showBusyCursor();
// Removes every override cursor this program set, so the normal pointer shows.
void restoreNormalCursor();

// Lets pending window events run once, so the window repaints during a long loop.
void letPendingEventsRun();

// Gives the calling thread (and the threads it starts) a lower scheduling priority
// than the window's, so work running beside the window never keeps it from answering.
void yieldToWindow();

void freezeRedraw(QWidget* w);
void unfreezeRedraw(QWidget* w);

} // namespace brindle
