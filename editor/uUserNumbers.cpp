#include "editor/uUserNumbers.h"

#include "base/uNumberText.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace {

QLocale UserLocale()
{
    QLocale locale;  // the default locale: the system's unless the program set another
    locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return locale;
}

}  // namespace

bool ParseUserFloat(const QString& Text, float& Value)
{
    const QString trimmed = Text.trimmed();
    if (trimmed.isEmpty())
        return false;
    float dot = 0;
    if (TryTextToFloat(trimmed.toStdString(), dot)) {
        Value = dot;
        return true;
    }
    bool ok = false;
    const double local = UserLocale().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(local) || std::fabs(local) > std::numeric_limits<float>::max())
        return false;
    Value = static_cast<float>(local);
    return true;
}

bool ParseUserInt(const QString& Text, int32_t& Value)
{
    const QString trimmed = Text.trimmed();
    return !trimmed.isEmpty() && TryTextToInt(trimmed.toStdString(), Value);
}

QString FormatUserNumber(double Value, int Decimals)
{
    return UserLocale().toString(Value, 'f', Decimals);
}

QString FormatDotNumber(double Value, int Decimals)
{
    QString text = QString::number(Value, 'f', Decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    if (text == QStringLiteral("-0"))
        text = QStringLiteral("0");
    return text;
}
