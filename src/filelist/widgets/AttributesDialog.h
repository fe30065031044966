#pragma once

#include "filelist/ItemAttributes.h"

#include <QDialog>

class QCheckBox;

namespace feedrail {

// "Set Attributes": the item's name and its ReadOnly, Archive, Hidden and
// System boxes. Archive and System have no meaning on Linux and stay off.
class AttributesDialog : public QDialog {
    Q_OBJECT
public:
    AttributesDialog(const QString& name, const ItemAttributes& current, QWidget* parent);

    ItemAttributes Chosen() const;

private:
    QCheckBox* readOnly_;
    QCheckBox* hidden_;
};

} // namespace feedrail
