#include "profiles/widgets/TForm2.h"

#include "common/widgets/DesignFont.h"
#include "common/widgets/TextBridge.h"
#include "common/widgets/UserMessages.h"
#include "profiles/ActiveSettings.h"
#include "profiles/ConversionError.h"
#include "profiles/IniFile.h"
#include "profiles/LinePause.h"
#include "profiles/ProfileDefaults.h"
#include "profiles/ProfileFile.h"
#include "profiles/ProfileKeyValue.h"
#include "profiles/ProfileValues.h"
#include "profiles/WholeNumber.h"
#include "profiles/widgets/MachineListHost.h"
#include "profiles/widgets/PortField.h"
#include "profiles/widgets/TForm3.h"
#include "serial/device/DeviceAddress.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QByteArray>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <string>
#include <string_view>
#include <type_traits>

namespace feedrail {
namespace {

QString ObjectName(const QString& text) {
    QString name;
    for (const QChar c : text) {
        if (c.isLetterOrNumber()) {
            name += c;
        }
    }
    return name;
}

void Check(QButtonGroup& group, int value) {
    if (QAbstractButton* button = group.button(value)) {
        button->setChecked(true);
    }
}

QLabel* AddLabel(const QString& text, int left, int top, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->move(left, top);
    return label;
}

QLineEdit* AddField(const char* name, const QRect& area, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    field->setGeometry(area);
    return field;
}

// A value never holds a line break, so this default tells a missing key from
// an empty one.
constexpr std::string_view MissingKey = "\n";

bool HasKey(const IniFile& ini, std::string_view section, std::string_view key) {
    return ini.ReadString(section, key, MissingKey) != MissingKey;
}

// Nothing for a missing or empty key.
std::optional<std::string> KeyText(const IniFile& ini, std::string_view section,
                                   std::string_view key) {
    std::string text = ini.ReadString(section, key, MissingKey);
    if (text == MissingKey || text.empty()) {
        return std::nullopt;
    }
    return text;
}

// An exclusive group lets no button be unchecked while it is exclusive.
void Uncheck(QButtonGroup& group) {
    group.setExclusive(false);
    for (QAbstractButton* button : group.buttons()) {
        button->setChecked(false);
    }
    group.setExclusive(true);
}

QString Caption(const QAbstractButton& button) {
    return button.text().remove(QLatin1Char('&'));
}

QPushButton* AddButton(const QString& text, const char* name, const QRect& area, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(area);
    return button;
}

} // namespace

TForm2::TForm2(MachineListHost& machines, ActiveSettings& settings, std::string profilePath,
               UserMessages& messages, QWidget* parent)
    : QDialog(parent), machines_(machines), settings_(settings),
      profilePath_(std::move(profilePath)), messages_(messages) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("DNC Settings"));
    UseDesignFont(*this);
    setFixedSize(375, 364);

    auto* top = new QFrame(this);
    top->setFrameShape(QFrame::Panel);
    top->setFrameShadow(QFrame::Sunken);
    top->setGeometry(0, 0, 375, 37);
    AddLabel(QStringLiteral("Machine Name:"), 8, 8, top);
    machineName_ = AddField("MachineNameEdit", QRect(90, 6, 141, 21), top);
    machineName_->setReadOnly(true);
    machineName_->setEnabled(false);
    auto* newButton = AddButton(QStringLiteral("New..."), "NewButton", QRect(256, 4, 75, 25), top);

    // Wide enough for its label, with room for Browse... beside it.
    AddLabel(QStringLiteral("Default File Directory:"), 8, 48, this);
    directory_ = AddField("DirectoryEdit", QRect(128, 44, 158, 21), this);
    auto* browse =
        AddButton(QStringLiteral("Browse..."), "BrowseButton", QRect(292, 42, 75, 25), this);
    connect(browse, &QPushButton::clicked, this, &TForm2::BrowseClick);

    commDevice_ = new PortField(QStringLiteral("Comm Port below"), this);
    commDevice_->setObjectName(QStringLiteral("CommDeviceCombo"));
    commDevice_->setGeometry(128, 71, 239, 22);
    AddLabel(QStringLiteral("&Device:"), 8, 75, this)->setBuddy(commDevice_);

    baudRate_ = AddGroup(QStringLiteral("Baud Rate"), QRect(16, 100, 81, 192),
                         {{"300", 300},
                          {"600", 600},
                          {"1200", 1200},
                          {"2400", 2400},
                          {"4800", 4800},
                          {"9600", 9600},
                          {"19200", 19200},
                          {"38400", 38400},
                          {"57600", 57600},
                          {"115200", 115200}});
    format_ = AddGroup(QStringLiteral("Format"), QRect(104, 100, 69, 89),
                       {{"ISO", PunchIso}, {"EIA", PunchEia}, {"ASCII", PunchAscii}});
    endOfLine_ = AddGroup(QStringLiteral("End of Line"), QRect(180, 100, 93, 85),
                          {{"LF", EobLf}, {"CR/LF", EobCrLf}, {"LF/CR/CR", EobLfCrCr}});
    stopBits_ =
        AddGroup(QStringLiteral("Stop Bits"), QRect(280, 100, 61, 65), {{"1", 1}, {"2", 2}});
    commPort_ = AddGroup(QStringLiteral("Comm Port"), QRect(288, 172, 73, 105),
                         {{"Com1", 1}, {"Com2", 2}, {"Com3", 3}, {"Com4", 4}});
    handshake_ = AddGroup(QStringLiteral("Handshake"), QRect(104, 196, 89, 101),
                          {{"Xon / Xoff", HandshakeXonXoff},
                           {"RTS / CTS", HandshakeRtsCts},
                           {"DTR", HandshakeDtr},
                           {"None", HandshakeNone}});
    parity_ = AddGroup(QStringLiteral("Parity"), QRect(208, 196, 69, 85),
                       {{"Odd", 'O'}, {"Even", 'E'}, {"None", 'N'}});
    dataBits_ =
        AddGroup(QStringLiteral("Data Bits"), QRect(288, 284, 65, 65), {{"7", 7}, {"8", 8}});

    AddLabel(QStringLiteral("Char Delay:"), 96, 305, this);
    charDelay_ = AddField("CharDelayEdit", QRect(156, 300, 33, 21), this);
    connect(charDelay_, &QLineEdit::textChanged, this, &TForm2::ShowPauseOfCharDelay);
    leader_ = new QCheckBox(QStringLiteral("Leader"), this);
    leader_->setObjectName(QStringLiteral("CheckBox2"));
    leader_->move(208, 302);
    // Half checked stands for a value of the file's that the box cannot show;
    // once the operator has decided, the box has two states again.
    connect(leader_, &QCheckBox::clicked, this, [this] { leader_->setTristate(false); });

    auto* save = AddButton(QStringLiteral("Save"), "SaveButton", QRect(92, 332, 75, 25), this);
    save->setDefault(true);
    auto* cancel =
        AddButton(QStringLiteral("Cancel"), "CancelButton", QRect(176, 332, 75, 25), this);

    form3_ = new TForm3(machines_, this);
    connect(save, &QPushButton::clicked, this, &TForm2::SaveClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(newButton, &QPushButton::clicked, this, &TForm2::NewClick);
    machineName_->setText(machines_.CurrentMachine());
}

QButtonGroup* TForm2::AddGroup(const QString& title, const QRect& area,
                               const std::vector<std::pair<QString, int>>& buttons) {
    auto* box = new QGroupBox(title, this);
    box->setObjectName(ObjectName(title) + QStringLiteral("Group"));
    box->setGeometry(area);
    auto* group = new QButtonGroup(box);
    int top = 18;
    for (const auto& [caption, value] : buttons) {
        auto* button = new QRadioButton(caption, box);
        button->setObjectName(ObjectName(title) + ObjectName(caption));
        button->move(8, top);
        group->addButton(button, value);
        top += 17;
    }
    // Tab enters the group at its checked button; the arrow keys move within.
    connect(group, &QButtonGroup::buttonToggled, this, [group] { TabToChecked(*group); });
    TabToChecked(*group);
    return group;
}

void TForm2::TabToChecked(QButtonGroup& group) {
    const QList<QAbstractButton*> buttons = group.buttons();
    const bool anyChecked = group.checkedButton() != nullptr;
    for (QAbstractButton* button : buttons) {
        const bool tabStop = anyChecked ? button->isChecked() : button == buttons.front();
        button->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

// The field holds the profile's bytes; the dialog speaks file names.
void TForm2::BrowseClick() {
    if (const auto folder = messages_.AskFolder(DisplayPath(TextBytes(directory_->text())))) {
        directory_->setText(BytesText(WithTrailingSeparator(LocalPath(*folder))));
    }
}

void TForm2::LoadSettings() {
    const IniFile ini(profilePath_);
    const std::string section = TextBytes(machines_.CurrentMachine());
    const ProfileDefaults& defaults = LoadSettingsDefaults;
    kept_.clear();
    notUnderstood_.clear();
    LoadGroup(ini, section, *format_, "PunchType", defaults.PunchType);
    LoadGroup(ini, section, *handshake_, "CommHandshake", defaults.CommHandshake);
    LoadGroup(ini, section, *commPort_, "CommPort", defaults.CommPort);
    commDevice_->SetText(BytesText(ini.ReadString(section, "CommDevice", "")));
    LoadGroup(ini, section, *baudRate_, "CommBaudRate", defaults.CommBaudRate);
    LoadGroup(ini, section, *parity_, "CommParity", ParityLetter(defaults.CommParity));
    LoadGroup(ini, section, *dataBits_, "CommDataBits", defaults.CommDataBits);
    LoadGroup(ini, section, *stopBits_, "CommStopBits", defaults.CommStopBits);
    LoadGroup(ini, section, *endOfLine_, "EOB", defaults.EOB);
    charDelay_->setText(QString::number(ini.ReadInteger(section, "PunchWait", defaults.PunchWait)));
    LoadLeader(ini, section);
    directory_->setText(BytesText(
        WithTrailingSeparator(ini.ReadString(section, "DefaultDir", defaults.DefaultDir))));
}

// A missing or empty key shows the default, which StoreSettings writes.
void TForm2::LoadGroup(const IniFile& ini, const std::string& section, QButtonGroup& group,
                       const char* key, std::int32_t fallback) {
    const std::optional<std::string> text = KeyText(ini, section, key);
    const std::optional<std::int32_t> value = text ? UsableKeyValue(key, *text) : fallback;
    if (value && group.button(*value) != nullptr) {
        Check(group, *value);
        return;
    }
    Uncheck(group);
    kept_[key] = value.value_or(fallback);
    if (!value) {
        NoteNotUnderstood(key, *text, Caption(*group.button(fallback)));
    }
}

void TForm2::LoadLeader(const IniFile& ini, const std::string& section) {
    const std::optional<std::string> text = KeyText(ini, section, "Leader");
    const std::optional<std::int32_t> value =
        text ? UsableKeyValue("Leader", *text) : LoadSettingsDefaults.Leader;
    leader_->setTristate(!value);
    if (value) {
        leader_->setChecked(*value != 0);
        return;
    }
    leader_->setCheckState(Qt::PartiallyChecked);
    kept_["Leader"] = LoadSettingsDefaults.Leader;
    NoteNotUnderstood("Leader", *text, QStringLiteral("Off"));
}

void TForm2::NoteNotUnderstood(const std::string& key, const std::string& text,
                               const QString& used) {
    notUnderstood_ << QStringLiteral("%1=%2 of %3 is not understood; %4 is used")
                          .arg(BytesText(key), BytesText(text), machines_.CurrentMachine(), used);
}

QString TForm2::NotUnderstood() const {
    return notUnderstood_.isEmpty() ? QString()
                                    : QStringLiteral("DNC.ini: ") + notUnderstood_.join(". ");
}

std::optional<std::int32_t> TForm2::Kept(const char* key) const {
    const auto kept = kept_.find(key);
    return kept == kept_.end() ? std::nullopt : std::optional(kept->second);
}

void TForm2::StoreSettings() {
    const std::string delayText = charDelay_->text().toStdString();
    const auto delay = ParseWholeNumber(delayText);
    if (!delay) {
        throw ConversionError(delayText);
    }
    // The settings change only once every key is written: a profile that
    // cannot be written leaves those in force as they were.
    ActiveSettings next = settings_;
    const IniFile ini(profilePath_);
    const std::string section = TextBytes(machines_.CurrentMachine());
    // With no machine in the list there is no section to write; the controls
    // still become the settings in effect.
    const auto write = [&](const char* key, const std::string& value) {
        if (!section.empty()) {
            ini.WriteString(section, key, value);
        }
    };
    const auto store = [&](const QButtonGroup& group, const char* key, auto& value) {
        using Value = std::remove_reference_t<decltype(value)>;
        if (group.checkedId() != -1) {
            value = static_cast<Value>(group.checkedId());
        } else if (const std::optional<std::int32_t> kept = Kept(key)) {
            value = static_cast<Value>(*kept);
            return;
        }
        if constexpr (std::is_same_v<Value, char>) {
            write(key, std::string(1, value));
        } else {
            write(key, std::to_string(value));
        }
    };
    store(*baudRate_, "CommBaudRate", next.CommBaudRate);
    store(*commPort_, "CommPort", next.CommPort);
    next.CommDevice = TextBytes(commDevice_->Text());
    // A profile that never named a device is written back as it was.
    if (!next.CommDevice.empty() || HasKey(ini, section, "CommDevice")) {
        write("CommDevice", next.CommDevice);
    }
    store(*format_, "PunchType", next.PunchType);
    store(*handshake_, "CommHandshake", next.CommHandshake);
    store(*parity_, "CommParity", next.CommParity);
    store(*dataBits_, "CommDataBits", next.CommDataBits);
    store(*stopBits_, "CommStopBits", next.CommStopBits);
    store(*endOfLine_, "EOB", next.EOB);
    write("PunchWait", std::to_string(*delay));
    if (leader_->checkState() != Qt::PartiallyChecked) {
        write("Leader", Leader() ? "1" : "0");
    }
    next.DefaultDir = WithTrailingSeparator(TextBytes(directory_->text()));
    write("DefaultDir", next.DefaultDir);
    settings_ = next;
}

// A half-checked box counts as checked to Qt.
bool TForm2::Leader() const {
    return leader_->checkState() == Qt::Checked;
}

void TForm2::Activate() {
    machineName_->setText(machines_.CurrentMachine());
    LoadSettings();
}

// Checked here rather than in StoreSettings: selecting a machine stores its
// profile back as it was read, and a device its file names wrongly is left
// for the opening of the port to report, not for a message at every
// selection.
void TForm2::SaveClick() {
    const QString device = commDevice_->Text();
    std::string problem;
    if (!device.isEmpty() && !ParseDeviceAddress(TextBytes(device), &problem)) {
        // A network address says what is wrong with it; anything else is
        // told what a device looks like.
        messages_.ShowError(
            NetworkAddressLike(TextBytes(device))
                ? QString::fromStdString(problem)
                : QStringLiteral("\"%1\" is no device: give a path such as /dev/ttyUSB0, "
                                 "rfc2217://host:port or tcp://host:port")
                      .arg(device));
        return;
    }
    try {
        StoreSettings();
    } catch (const std::exception& error) {
        messages_.ShowError(QString::fromStdString(error.what()));
        return;
    }
    accept();
}

// The new machine has no section yet: the port picked for it is shown here,
// and Save stores it with the rest.
void TForm2::NewClick() {
    const QString shown = machines_.CurrentMachine();
    const bool added = form3_->exec() == QDialog::Accepted;
    if (added && !form3_->AddedName().isEmpty()) {
        if (added_.isEmpty()) {
            shownBeforeAdding_ = shown;
        }
        added_ << form3_->AddedName();
    }
    Activate();
    if (added && !form3_->AddedPort().isEmpty()) {
        commDevice_->SetText(form3_->AddedPort());
    }
}

void TForm2::done(int result) {
    if (result == QDialog::Rejected) {
        for (auto name = added_.crbegin(); name != added_.crend(); ++name) {
            machines_.RemoveMachine(*name, shownBeforeAdding_);
        }
    }
    added_.clear();
    QDialog::done(result);
}

// The first field, so that Enter saves rather than pressing New....
void TForm2::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Activate();
    directory_->setFocus();
}

// What a delay value means in time, so that an operator need not know how
// the pause is counted.
void TForm2::ShowPauseOfCharDelay(const QString& text) {
    const std::optional<std::int32_t> delay = ParseWholeNumber(text.toStdString());
    charDelay_->setToolTip(delay ? QString::fromStdString(LinePauseText(*delay))
                                 : QStringLiteral("Not a whole number"));
}

} // namespace feedrail
