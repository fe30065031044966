#include "profiles/widgets/PortField.h"

#include "common/widgets/TextBridge.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QStyle>
#include <utility>

namespace feedrail {

PortField::PortField(const QString& emptyMeaning, QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // Completing from the entries would put their descriptions into the field.
    setCompleter(nullptr);
    lineEdit()->setPlaceholderText(emptyMeaning);
    connect(this, &QComboBox::currentIndexChanged, this, &PortField::ShowPathOf);
    connect(this, &QComboBox::activated, this, &PortField::ShowPathOf);
    ListPorts();
}

QString PortField::Text() const {
    return currentText().trimmed();
}

// The entry of the same path, if there is one, is the one the list opens at.
void PortField::SetText(const QString& text) {
    setCurrentIndex(findData(text));
    setEditText(text);
}

void PortField::SetPortList(PortList ports) {
    ports_ = std::move(ports);
    ListPorts();
}

// By-id names are long: the list is as wide as its longest entry, beyond
// the field if need be.
void PortField::showPopup() {
    ListPorts();
    view()->setMinimumWidth(view()->sizeHintForColumn(0) +
                            style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    QComboBox::showPopup();
}

// The profile holds a path as the file system's bytes, shown one character a
// byte as every profile text is.
void PortField::ListPorts() {
    const QString text = currentText();
    const QSignalBlocker quiet(this);
    clear();
    for (const PortList::Port& port : ports_.Ports()) {
        const QString path = BytesText(LocalPath(port.path));
        addItem(port.description.isEmpty() ? path
                                           : path + QStringLiteral(" \u2014 ") + port.description,
                path);
    }
    SetText(text);
}

void PortField::ShowPathOf(int index) {
    if (index >= 0) {
        setEditText(itemData(index).toString());
    }
}

} // namespace feedrail
