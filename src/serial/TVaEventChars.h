#pragma once

#include "serial/TVaPersistent.h"

namespace feedrail {

// The four special characters of a serial port. Every assignment reports a
// change, even of an equal value; Assign reports one change for all four.
class TVaEventChars : public TVaPersistent {
public:
    TVaEventChars() = default;
    TVaEventChars(char xonChar, char xoffChar, char errorChar, char eventChar);

    char XonChar() const { return xonChar_; }
    char XoffChar() const { return xoffChar_; }
    char ErrorChar() const { return errorChar_; }
    char EventChar() const { return eventChar_; }

    void SetXonChar(char value);
    void SetXoffChar(char value);
    void SetErrorChar(char value);
    void SetEventChar(char value);

    void Assign(const TVaEventChars& source);

private:
    char xonChar_ = 0x11;
    char xoffChar_ = 0x13;
    char errorChar_ = 0;
    char eventChar_ = 0;
};

} // namespace feedrail
