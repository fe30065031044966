#include "serial/TVaEventChars.h"

namespace feedrail {

TVaEventChars::TVaEventChars(char xonChar, char xoffChar, char errorChar, char eventChar)
    : xonChar_(xonChar), xoffChar_(xoffChar), errorChar_(errorChar), eventChar_(eventChar) {}

void TVaEventChars::SetXonChar(char value) {
    xonChar_ = value;
    Changed();
}

void TVaEventChars::SetXoffChar(char value) {
    xoffChar_ = value;
    Changed();
}

void TVaEventChars::SetErrorChar(char value) {
    errorChar_ = value;
    Changed();
}

void TVaEventChars::SetEventChar(char value) {
    eventChar_ = value;
    Changed();
}

void TVaEventChars::Assign(const TVaEventChars& source) {
    // Inside the bracket the setters only store, so nothing can throw before
    // EndUpdate reports the one change.
    BeginUpdate();
    SetXonChar(source.XonChar());
    SetXoffChar(source.XoffChar());
    SetErrorChar(source.ErrorChar());
    SetEventChar(source.EventChar());
    EndUpdate();
}

} // namespace feedrail
