#include "compare/widgets/CompareModel.h"

#include <QString>
#include <climits>

namespace feedrail {

CompareModel::CompareModel(Side side, QObject* parent) : QAbstractTableModel(parent), side_(side) {}

void CompareModel::Show(std::shared_ptr<const ComparedPrograms> programs,
                        const CompareColours& colours) {
    beginResetModel();
    programs_ = std::move(programs);
    colours_ = colours;
    endResetModel();
}

int CompareModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || programs_ == nullptr) {
        return 0;
    }
    return static_cast<int>(std::min<std::size_t>(programs_->Result.Rows.size(), INT_MAX));
}

int CompareModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant CompareModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || programs_ == nullptr) {
        return {};
    }
    const CompareRow& row = programs_->Result.Rows[static_cast<std::size_t>(index.row())];
    const std::size_t line = LineOf(row);
    const bool hasLine = line != CompareRow::NoLine;
    switch (role) {
    case Qt::DisplayRole:
        if (!hasLine) {
            return {};
        }
        if (index.column() == NumberColumn) {
            return QString::number(line + 1);
        }
        {
            const std::string_view text =
                (side_ == Side::Left ? *programs_->Left : *programs_->Right).Line(line);
            return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
        }
    case Qt::BackgroundRole:
        if (const QColor ground = colours_.Ground(row.What, hasLine); ground.isValid()) {
            return ground;
        }
        return {};
    case Qt::TextAlignmentRole:
        return index.column() == NumberColumn ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                              : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

std::size_t CompareModel::LineOf(const CompareRow& row) const {
    return side_ == Side::Left ? row.Left : row.Right;
}

} // namespace feedrail
