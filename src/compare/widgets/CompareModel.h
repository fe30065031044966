#pragma once

#include "compare/ProgramComparison.h"
#include "compare/ProgramText.h"
#include "compare/widgets/CompareColours.h"

#include <QAbstractTableModel>
#include <memory>

namespace feedrail {

// Two programs and their comparison, as the compare window shows them.
struct ComparedPrograms {
    // Shared by the comparisons of one window, whatever the options.
    std::shared_ptr<const ProgramText> Left;
    std::shared_ptr<const ProgramText> Right;
    Comparison Result;
};

// One side of the compare window: a row for each row of the comparison, its
// line number and its line, asked for only as rows come into view, so that
// a program of millions of lines shows at once.
class CompareModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NumberColumn, TextColumn };
    enum class Side { Left, Right };

    CompareModel(Side side, QObject* parent);

    void Show(std::shared_ptr<const ComparedPrograms> programs, const CompareColours& colours);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    std::size_t LineOf(const CompareRow& row) const;

    Side side_;
    std::shared_ptr<const ComparedPrograms> programs_;
    CompareColours colours_;
};

} // namespace feedrail
