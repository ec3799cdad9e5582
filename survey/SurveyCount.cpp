#include "SurveyCount.h"

#include <QRegularExpression>

int keyIndex(QStringView keyText)
{
    if (keyText.size() != 2)
        return 0;
    int value = 0;
    for (const QChar c : keyText) {
        if (c < u'0' || c > u'9')
            return 0;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

KeyLineOutcome countKeyLine(SurveyTally& tally, QStringView line, bool running, bool keyChange)
{
    KeyLineOutcome outcome;
    if (!running || line.size() < SurveyLine::kMinLength)
        return outcome;
    if (line.mid(SurveyLine::kMakerAt, SurveyLine::kMakerPrefix.size()) != SurveyLine::kMakerPrefix)
        return outcome;
    outcome.makerPrefix = true;

    const QStringView deviceId = line.mid(SurveyLine::kDeviceIdAt, SurveyLine::kDeviceIdLength);
    const QStringView keyText = line.mid(SurveyLine::kKeyAt, 2);
    const int k = keyIndex(keyText);
    if (k < 1 || k > SurveyTally::kKeys)
        return outcome;
    outcome.refresh = true;

    for (int i = 0; i < SurveyTally::kRows; ++i) {
        SurveyTally::Row& row = tally.rows[size_t(i)];
        if (row.deviceId.isEmpty()) {
            ++tally.counters[size_t(k - 1)];
            row.deviceId = deviceId.toString();
            row.keyText = keyText.toString();
            outcome.row = i;
            break;
        }
        if (row.deviceId != deviceId)
            continue;
        if (keyChange) {
            // Rows are only written with keys 1 to 4, so the old key always has a count to give up.
            if (const int j = keyIndex(row.keyText); j >= 1 && j <= SurveyTally::kKeys)
                --tally.counters[size_t(j - 1)];
            ++tally.counters[size_t(k - 1)];
            row.keyText = keyText.toString();
            outcome.row = i;
        }
        break;
    }
    return outcome;
}

std::optional<int> runSeconds(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^\\s*[+-]?[0-9]+\\s*$"));
    if (!number.match(text).hasMatch())
        return 10;
    bool ok = false;
    const qlonglong seconds = text.trimmed().toLongLong(&ok);
    // A number too long for any integer is just as far out of range.
    if (!ok || seconds < 0 || seconds > kMaxRunSeconds)
        return std::nullopt;
    return int(seconds);
}
