#include "FramesModel.h"

#include "FrameText.h"

#include <QColor>

#include <string>

FramesModel::FramesModel(const FrameLog& log, QObject* parent)
    : QAbstractTableModel(parent), m_log(log), m_index(log)
{
    m_index.setFilter({});
    m_rows = int(m_index.size());
}

void FramesModel::setFilter(const FrameFilter& filter)
{
    startFilter(filter);
    (void)continueFilter(std::chrono::steady_clock::time_point::max());
}

void FramesModel::startFilter(const FrameFilter& filter)
{
    m_index.startFilter(filter);
}

bool FramesModel::continueFilter(std::chrono::steady_clock::time_point deadline)
{
    if (!m_index.filtering())
        return true;
    if (!m_index.continueFilter(deadline))
        return false;
    beginResetModel();
    m_index.finishFilter();
    m_rows = int(m_index.size());
    endResetModel();
    return true;
}

bool FramesModel::refresh()
{
    if (const size_t stale = m_index.staleCount(); stale > 0) {
        beginRemoveRows({}, 0, int(stale) - 1);
        m_index.dropStale(stale);
        m_rows -= int(stale);
        endRemoveRows();
    }
    const size_t added = m_index.takeNew();
    if (added == 0)
        return false;
    beginInsertRows({}, m_rows, m_rows + int(added) - 1);
    m_rows += int(added);
    endInsertRows();
    return true;
}

const FrameRecord* FramesModel::recordAt(int row) const
{
    if (row < 0 || row >= m_rows)
        return nullptr;
    const uint64_t position = m_index.position(size_t(row));
    return m_log.holds(position) ? &m_log.record(position) : nullptr;
}

int FramesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int FramesModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kFrameColumnCount;
}

QVariant FramesModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const FrameRecord* r = recordAt(index.row());
    if (!r)
        return {};
    switch (role) {
    case Qt::DisplayRole: {
        // Texts are made here, for the rows in view only: the log keeps bytes, not strings.
        std::string text;
        appendCell(text, *r, m_log.bytes(*r), FrameColumn(index.column()));
        return QString::fromLatin1(text.data(), qsizetype(text.size()));
    }
    case Qt::BackgroundRole:
        if (r->loaded)
            return QColor(232, 240, 255);
        if (r->direction == FrameDirection::Sent)
            return QColor(255, 248, 225);
        return {};
    case kBytesRole: {
        const auto bytes = m_log.bytes(*r);
        return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    }
    default:
        return {};
    }
}

QVariant FramesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kFrameColumnCount)
        return {};
    return QString::fromLatin1(frameColumnTitle(FrameColumn(section)));
}
