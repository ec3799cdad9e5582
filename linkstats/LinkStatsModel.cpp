#include "LinkStatsModel.h"

#include "BlockText.h"
#include "RegularFile.h"

#include <QColor>

namespace {
bool isTransmitter(const LinkRow& row)
{
    return row.kind == LinkRow::Kind::Transmitter;
}

// Columns that only a transmitter's key reports fill.
bool transmitterOnly(int column)
{
    switch (column) {
    case LinkStatsModel::Lost:
    case LinkStatsModel::LossPercent:
    case LinkStatsModel::Duplicates:
    case LinkStatsModel::Restarts:
    case LinkStatsModel::LastKey:
        return true;
    default:
        return false;
    }
}

QString csvField(const QString& text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    return u'"' + QString(text).replace(u'"', QStringLiteral("\"\"")) + u'"';
}
} // namespace

void LinkStatsModel::update(const LinkStats& stats)
{
    const std::vector<LinkRow>& rows = stats.rows();
    m_nowMs = stats.nowMs();
    const size_t shown = m_rows.size();
    if (rows.size() < shown) {
        beginResetModel();
        m_rows = rows;
        endResetModel();
        return;
    }
    if (rows.size() > shown) {
        beginInsertRows({}, int(shown), int(rows.size()) - 1);
        m_rows.insert(m_rows.end(), rows.begin() + ptrdiff_t(shown), rows.end());
        endInsertRows();
    }
    std::copy(rows.begin(), rows.begin() + ptrdiff_t(shown), m_rows.begin());
    // The time since a row was heard changes even when its counts do not: every shown row changes.
    if (shown > 0)
        emit dataChanged(index(0, 0), index(int(shown) - 1, ColumnCount - 1));
}

int LinkStatsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int LinkStatsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString LinkStatsModel::text(const LinkRow& row, int column) const
{
    if (!isTransmitter(row) && transmitterOnly(column))
        return {};
    switch (column) {
    case DeviceId:
        if (row.kind == LinkRow::Kind::NotAFrame)
            return QStringLiteral("Not a frame");
        if (row.kind == LinkRow::Kind::Command)
            return QString::asprintf("Command %02Xh", row.command);
        // The survey's form of the ID: " 12h 34h 56h 78h" without its leading space.
        return renderBinary(row.id).mid(1);
    case Frames:
        return QString::number(row.frames);
    case Bytes:
        return QString::number(row.bytes);
    case Lost:
        return QString::number(row.lost);
    case LossPercent:
        return QString::number(row.lossPercent(), 'f', 1);
    case Duplicates:
        return QString::number(row.duplicates);
    case Restarts:
        return QString::number(row.restarts);
    case LastKey:
        return row.lastKey < 0 ? QString() : QString::asprintf("%02Xh", row.lastKey);
    case ReportsPerSecond:
        return QString::number(row.rate.perSecond(m_nowMs), 'f', 1);
    case SilentFor:
        return QString::number(double(m_nowMs - row.lastHeardMs) / 1000.0, 'f', 1);
    default:
        return {};
    }
}

namespace {
uint64_t reportsIn(const RateHistory::Seconds& seconds)
{
    uint64_t reports = 0;
    for (const RateHistory::Second& s : seconds)
        reports += s.reports;
    return reports;
}
} // namespace

QVariant LinkStatsModel::sortValue(const LinkRow& row, int column) const
{
    switch (column) {
    case DeviceId:
        return text(row, column);
    case Frames:
        return qulonglong(row.frames);
    case Bytes:
        return qulonglong(row.bytes);
    case Lost:
        return qulonglong(row.lost);
    case LossPercent:
        return row.lossPercent();
    case Duplicates:
        return qulonglong(row.duplicates);
    case Restarts:
        return qulonglong(row.restarts);
    case LastKey:
        return row.lastKey;
    case ReportsPerSecond:
        return row.rate.perSecond(m_nowMs);
    case SilentFor:
        return qlonglong(m_nowMs - row.lastHeardMs);
    case History:
        return qulonglong(reportsIn(row.rate.seconds(m_nowMs)));
    default:
        return {};
    }
}

QVariant LinkStatsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || size_t(index.row()) >= m_rows.size())
        return {};
    const LinkRow& row = m_rows[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return text(row, index.column());
    case kSortRole:
        return sortValue(row, index.column());
    case kSummaryRole:
        return !isTransmitter(row);
    case kHistoryRole:
        if (index.column() != History)
            return {};
        return QVariant::fromValue(row.rate.seconds(m_nowMs));
    case Qt::AccessibleTextRole:
        if (index.column() != History)
            return {};
        return QStringLiteral("%1 reports in the last 5 minutes").arg(reportsIn(row.rate.seconds(m_nowMs)));
    case Qt::TextAlignmentRole:
        return int(index.column() == DeviceId ? Qt::AlignLeft | Qt::AlignVCenter
                                              : Qt::AlignRight | Qt::AlignVCenter);
    case Qt::ForegroundRole:
        if (m_nowMs - row.lastHeardMs > kGreyAfterMs)
            return QColor(Qt::gray);
        return {};
    default:
        return {};
    }
}

QVariant LinkStatsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole) {
        static const std::array<QString, ColumnCount> names = {
            QStringLiteral("Device ID"),  QStringLiteral("Frames"),    QStringLiteral("Bytes"),
            QStringLiteral("Lost"),       QStringLiteral("Loss %"),    QStringLiteral("Duplicates"),
            QStringLiteral("Restarts"),   QStringLiteral("Last key"),  QStringLiteral("Reports/s"),
            QStringLiteral("Silent (s)"), QStringLiteral("Last 5 min")};
        return section >= 0 && section < ColumnCount ? names[size_t(section)] : QVariant();
    }
    if (role == kDrawnRole)
        return section == History;
    if (role == Qt::ToolTipRole) {
        switch (section) {
        case History:
            return QStringLiteral("Reports per second over the last 5 minutes, lost reports in red; "
                                  "select a row to see it larger");
        case Lost:
            return QStringLiteral("Frames missing from the transmitter's sequence numbers");
        case LossPercent:
            return QStringLiteral("Lost / (frames received once + lost)");
        case Restarts:
            return QStringLiteral(
                "Sequence numbers jumping back by more than 128: the transmitter was reset");
        case ReportsPerSecond:
            return QStringLiteral("Over the last 10 seconds");
        case SilentFor:
            return QStringLiteral("Seconds since the last frame; rows silent for over 5 minutes are grey");
        default:
            return {};
        }
    }
    return {};
}

LinkStatsSortModel::LinkStatsSortModel(QObject* parent) : QSortFilterProxyModel(parent)
{
    setSortRole(LinkStatsModel::kSortRole);
}

bool LinkStatsSortModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const bool leftSummary = left.data(LinkStatsModel::kSummaryRole).toBool();
    const bool rightSummary = right.data(LinkStatsModel::kSummaryRole).toBool();
    if (leftSummary != rightSummary) {
        // The view reverses the order for a descending sort; answering the other way round then
        // keeps the summaries at the bottom.
        return (sortOrder() == Qt::AscendingOrder) == rightSummary;
    }
    return QSortFilterProxyModel::lessThan(left, right);
}

QString saveTableCsv(const QString& path, const QAbstractItemModel& model)
{
    QStringList lines;
    QStringList fields;
    // A drawing has no text to write.
    QList<int> written;
    for (int c = 0; c < model.columnCount(); ++c)
        if (!model.headerData(c, Qt::Horizontal, LinkStatsModel::kDrawnRole).toBool())
            written << c;
    for (const int c : written)
        fields << csvField(model.headerData(c, Qt::Horizontal).toString());
    lines << fields.join(u',');
    for (int r = 0; r < model.rowCount(); ++r) {
        fields.clear();
        for (const int c : written)
            fields << csvField(model.index(r, c).data().toString());
        lines << fields.join(u',');
    }
    const QByteArray bytes = (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
    if (const QString reason = replaceRegularFile(path, bytes); !reason.isEmpty())
        return QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason);
    return {};
}
