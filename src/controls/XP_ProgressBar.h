#pragma once
// A progress bar drawn as a row of small gradient-shaded blocks inside a rounded grey
// frame. Value is a percentage of the bar's length whatever Min and Max say; Max only
// feeds the optional text.

#include <QColor>
#include <QPixmap>
#include <QWidget>

#include <cstdint>

namespace brindle {

class XP_ProgressBar : public QWidget {
    Q_OBJECT
public:
    // A colour value with the high bit set names a system colour by its index.
    static constexpr std::uint32_t kSystemHighlight = 0x8000000Du;

    explicit XP_ProgressBar(QWidget* parent = nullptr);

    int BrushStyle() const { return brushStyle_; }
    void setBrushStyle(int v) { brushStyle_ = v; }

    // Returns/sets the color of the ProgressBar
    QColor Color() const { return color_; }
    void setColor(const QColor& c);
    // A 0x00BBGGRR colour, or a system colour (high bit set) resolved through the palette.
    void setColor(std::uint32_t colorValue);

    QFont Font() const { return font(); }
    void setFont(const QFont& f);

    QPixmap Image() const { return image_; }
    void setImage(const QPixmap& p);

    int Min() const { return min_; }
    void setMin(int v) { min_ = v; }
    int Max() const { return max_; }
    void setMax(int v) { max_ = v; }

    int Orientation() const { return orientation_; }
    void setOrientation(int v);
    int Scrolling() const { return scrolling_; }
    void setScrolling(int v);
    bool ShowText() const { return showText_; }
    void setShowText(bool v);
    int Value() const { return value_; }
    void setValue(int v);

    void Refresh();

    // Each component moved towards white by amount (0 keeps the colour, 255 is white).
    static QColor TintColor(const QColor& c, int amount);
    static QColor systemColor(std::uint32_t colorValue, const QPalette& palette);

    QSize sizeHint() const override { return {200, 20}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void drawBar(QPainter& p, int w, int h) const;
    void drawHorizontal(QPainter& p, int w, int h) const;
    void drawVertical(QPainter& p, int w, int h) const;
    // Where the fill ends along the bar, counted from the start of a bar of length len.
    int fillEnd(int len) const;
    void drawText(QPainter& p, const QRect& clip) const;
    void drawFrame(QPainter& p, int w, int h) const;

    int brushStyle_ = 4;
    QColor color_;
    QPixmap image_;
    int min_ = 0;
    int max_ = 100;
    int orientation_ = 0;
    int scrolling_ = 0;
    bool showText_ = false;
    int value_ = 0;
    QPixmap buffer_;
};

} // namespace brindle
