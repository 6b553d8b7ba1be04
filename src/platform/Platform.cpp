#include "platform/Platform.h"

#include "platform/FileOps.h"

#include <QLocale>

#include <cfenv>
#include <climits>
#include <cmath>

namespace brindle {

Platform::Platform() = default;
Platform::Platform(Platform&&) noexcept = default;
Platform& Platform::operator=(Platform&&) noexcept = default;
Platform::~Platform() = default;

std::optional<double> parseDecimal(const QString& text)
{
    bool ok = false;
    const double v = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

QString formatDecimal(double v)
{
    if (std::isfinite(v) && v == std::trunc(v) && std::fabs(v) < 9.0e15)
        return QString::number(static_cast<long long>(v));
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

int SettingsStore::readInt(const QString& section, const QString& key, int fallback) const
{
    const auto text = value(section, key);
    if (!text)
        return fallback;
    const auto v = parseDecimal(*text);
    if (!v)
        return fallback;
    const double r = std::nearbyint(*v); // default rounding mode: half to even
    if (r < static_cast<double>(INT_MIN) || r > static_cast<double>(INT_MAX))
        return fallback;
    return static_cast<int>(r);
}

double SettingsStore::readDouble(const QString& section, const QString& key, double fallback) const
{
    const auto text = value(section, key);
    if (!text)
        return fallback;
    return parseDecimal(*text).value_or(fallback);
}

void SettingsStore::writeInt(const QString& section, const QString& key, int v)
{
    setValue(section, key, QString::number(v));
}

void SettingsStore::writeDouble(const QString& section, const QString& key, double v)
{
    setValue(section, key, formatDecimal(v));
}

QString qtImageFilter(const QString& pipeList)
{
    const QStringList parts = pipeList.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        const QStringList given = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (const QString& p : given)
            patterns << p.trimmed();
        for (const QString& p : given) {
            const QString upper = p.trimmed().toUpper();
            if (!patterns.contains(upper))
                patterns << upper;
        }
        filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns.join(QLatin1Char(' ')));
    }
    return filters.join(QStringLiteral(";;"));
}

} // namespace brindle
