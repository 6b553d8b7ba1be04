#include "controls/XP_ProgressBar.h"

#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace brindle {

namespace {

constexpr int kBarStart = 3;   // the fill grid starts this far in from the frame side
constexpr int kBlockPitch = 8; // 6 pixels of block, 2 of gap
const QColor kFrameColor(0x68, 0x68, 0x68);
const QColor kInnerEdgeColor(0xEF, 0xEF, 0xEF);

int lerp(int from, int to, int i, int n) { return n == 0 ? from : from + (to - from) * i / n; }

QColor lerpColor(const QColor& a, const QColor& b, int i, int n)
{
    return QColor(lerp(a.red(), b.red(), i, n), lerp(a.green(), b.green(), i, n), lerp(a.blue(), b.blue(), i, n));
}

// One-pixel lines from `from` to `to`, n + 1 of them for an extent of n pixels.
void gradientRows(QPainter& p, int x0, int x1, int y0, int y1, const QColor& from, const QColor& to)
{
    const int n = y1 - y0;
    for (int i = 0; i <= n; ++i)
        p.fillRect(x0, y0 + i, x1 - x0, 1, lerpColor(from, to, i, n));
}

void gradientColumns(QPainter& p, int x0, int x1, int y0, int y1, const QColor& from, const QColor& to)
{
    const int n = x1 - x0;
    for (int i = 0; i <= n; ++i)
        p.fillRect(x0 + i, y0, 1, y1 - y0, lerpColor(from, to, i, n));
}

// The palette roles standing in for the numbered system colours.
QColor paletteColor(int index, const QPalette& pal)
{
    switch (index) {
    case 0: return pal.color(QPalette::Button);          // scroll bar
    case 1: return pal.color(QPalette::Dark);            // desktop
    case 2: return pal.color(QPalette::Highlight);       // active caption
    case 3: return pal.color(QPalette::Mid);             // inactive caption
    case 4: return pal.color(QPalette::Window);          // menu
    case 5: return pal.color(QPalette::Base);            // window background
    case 6: return pal.color(QPalette::Shadow);          // window frame
    case 7: return pal.color(QPalette::WindowText);      // menu text
    case 8: return pal.color(QPalette::Text);            // window text
    case 9: return pal.color(QPalette::HighlightedText); // caption text
    case 10:
    case 11: return pal.color(QPalette::Window); // borders
    case 12: return pal.color(QPalette::Dark);   // application workspace
    case 13: return pal.color(QPalette::Highlight);
    case 14: return pal.color(QPalette::HighlightedText);
    case 15: return pal.color(QPalette::Button);                   // button face
    case 16: return pal.color(QPalette::Dark);                     // button shadow
    case 17: return pal.color(QPalette::Disabled, QPalette::Text); // grey text
    case 18: return pal.color(QPalette::ButtonText);
    case 19: return pal.color(QPalette::Disabled, QPalette::WindowText); // inactive caption text
    case 20: return pal.color(QPalette::Light);                          // button highlight
    case 21: return pal.color(QPalette::Shadow);                         // 3-D dark shadow
    case 22: return pal.color(QPalette::Midlight);                       // 3-D light
    case 23: return pal.color(QPalette::ToolTipText);
    case 24: return pal.color(QPalette::ToolTipBase);
    default: return pal.color(QPalette::Highlight);
    }
}

} // namespace

XP_ProgressBar::XP_ProgressBar(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    QFont f(QStringLiteral("Tahoma"));
    f.setPointSize(8);
    QWidget::setFont(f);
    color_ = systemColor(kSystemHighlight, palette());
}

QColor XP_ProgressBar::TintColor(const QColor& c, int amount)
{
    amount = std::clamp(amount, 0, 255);
    auto tint = [amount](int comp) { return std::min(255, amount + (255 - amount) * comp / 255); };
    return QColor(tint(c.red()), tint(c.green()), tint(c.blue()));
}

QColor XP_ProgressBar::systemColor(std::uint32_t colorValue, const QPalette& palette)
{
    if (colorValue & 0x80000000u)
        return paletteColor(static_cast<int>(colorValue & 0xFFu), palette).toRgb();
    const auto byte = [colorValue](int shift) { return static_cast<int>((colorValue >> shift) & 0xFFu); };
    return QColor(byte(0), byte(8), byte(16));
}

void XP_ProgressBar::setColor(const QColor& c)
{
    color_ = c.toRgb();
    Refresh();
}

void XP_ProgressBar::setColor(std::uint32_t colorValue) { setColor(systemColor(colorValue, palette())); }

void XP_ProgressBar::setFont(const QFont& f)
{
    QWidget::setFont(f);
    Refresh();
}

void XP_ProgressBar::setImage(const QPixmap& p)
{
    image_ = p;
    Refresh();
}

void XP_ProgressBar::setOrientation(int v)
{
    orientation_ = v;
    Refresh();
}

void XP_ProgressBar::setScrolling(int v)
{
    scrolling_ = v;
    Refresh();
}

void XP_ProgressBar::setShowText(bool v)
{
    showText_ = v;
    Refresh();
}

void XP_ProgressBar::setValue(int v)
{
    value_ = v;
    Refresh();
}

// Painted at once rather than scheduled: batch loops advance the bar without returning
// to the event loop, and the user should still see it move.
void XP_ProgressBar::Refresh()
{
    if (isVisible())
        repaint();
}

void XP_ProgressBar::paintEvent(QPaintEvent*)
{
    const int w = width();
    const int h = height();
    if (w <= 0 || h <= 0)
        return;
    if (buffer_.isNull() || buffer_.width() < w || buffer_.height() < h)
        buffer_ = QPixmap(std::max(w, buffer_.width()), std::max(h, buffer_.height()));
    QPainter out(this);
    if (buffer_.isNull()) {
        drawBar(out, w, h);
        return;
    }
    {
        QPainter p(&buffer_);
        p.setClipRect(0, 0, w, h);
        drawBar(p, w, h);
    }
    out.drawPixmap(0, 0, buffer_, 0, 0, w, h);
}

int XP_ProgressBar::fillEnd(int len) const
{
    if (value_ <= 0)
        return -1;
    // Anything past a few bar lengths looks the same: the fill is cut at the edge.
    const double r = std::min(static_cast<double>(value_) / 98.0, 4.0);
    const int start = kBarStart;
    const int stop = len - kBarStart;
    int e = start + static_cast<int>(std::nearbyint((stop - start) * r));
    if (scrolling_ == 0)
        e = start + (std::max(e - start, 0) / kBlockPitch) * kBlockPitch;
    e = std::max(e, start);
    if (e <= 14)
        e = std::max(e, 12); // the first block shows as soon as there is any progress
    return e + 4 > len ? e - 4 : e;
}

void XP_ProgressBar::drawBar(QPainter& p, int w, int h) const
{
    p.fillRect(0, 0, w, h, Qt::white);
    if (orientation_ == 0)
        drawHorizontal(p, w, h);
    else
        drawVertical(p, w, h);
    drawFrame(p, w, h);
}

void XP_ProgressBar::drawHorizontal(QPainter& p, int w, int h) const
{
    const int end = fillEnd(w);
    if (end > 4) {
        const QColor tint = TintColor(color_, 150);
        gradientRows(p, 4, end, 3, 9, tint, color_);
        if (h - 9 >= 8)
            p.fillRect(4, 8, end - 4, h - 9 - 8 + 1, color_);
        gradientRows(p, 4, end, h - 10, h - 4, color_, tint);
        if (scrolling_ == 0)
            for (int x = kBarStart + 7; x < end; x += kBlockPitch)
                p.fillRect(x, 0, 2, h, Qt::white);
    }
    if (showText_)
        drawText(p, QRect(0, 0, std::max(end, 0), h));
}

// The horizontal bar turned by a quarter: it fills from the bottom up.
void XP_ProgressBar::drawVertical(QPainter& p, int w, int h) const
{
    const int end = fillEnd(h);
    const int top = h - end; // rows top .. h-5 are filled
    if (end > 4) {
        const QColor tint = TintColor(color_, 150);
        const int y1 = h - 4; // exclusive
        gradientColumns(p, 4, 8, top, y1, tint, color_);
        if (w - 9 >= 9)
            p.fillRect(9, top, w - 9 - 9 + 1, y1 - top, color_);
        gradientColumns(p, w - 8, w - 4, top, y1, color_, tint);
        if (scrolling_ == 0)
            for (int u = kBarStart + 7; u < end; u += kBlockPitch)
                p.fillRect(0, h - 2 - u, w, 2, Qt::white);
    }
    if (showText_)
        drawText(p, QRect(0, std::max(top, 0), w, h));
}

void XP_ProgressBar::drawText(QPainter& p, const QRect& clip) const
{
    if (clip.isEmpty())
        return;
    const double shown = static_cast<double>(value_) * max_ / 100.0;
    const QString text = QString::number(shown, 'g', 15) + QStringLiteral(" %");
    p.save();
    p.setClipRect(clip, Qt::IntersectClip);
    p.setFont(font());
    p.setPen(TintColor(color_, 80));
    p.drawText(QRect(0, 0, width(), height()), Qt::AlignCenter | Qt::TextSingleLine, text);
    p.restore();
}

void XP_ProgressBar::drawFrame(QPainter& p, int w, int h) const
{
    p.setPen(kInnerEdgeColor);
    p.drawLine(w - 2, 2, w - 2, h - 3);
    p.setPen(kFrameColor);
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, w - 1, h - 1);
    const QPoint corners[] = {
        {0, 0},         {0, 1},         {0, 2},         {1, 0},         {1, 1},         {2, 0},
        {2, 2},         {0, h - 1},     {1, h - 1},     {2, h - 1},     {0, h - 3},     {0, h - 2},
        {1, h - 2},     {w - 1, 0},     {w - 1, 1},     {w - 1, 2},     {w - 2, 2},     {w - 2, 1},
        {w - 1, h - 1}, {w - 1, h - 2}, {w - 1, h - 3}, {w - 2, h - 2}, {w - 2, h - 1}, {w - 3, h - 1},
    };
    p.setPen(Qt::white);
    for (const QPoint& c : corners)
        p.drawPoint(c);
}

} // namespace brindle
