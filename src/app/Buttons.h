#pragma once

namespace feedrail {

// The buttons that a running operation locks and unlocks.
class Buttons {
public:
    virtual ~Buttons() = default;

    // The idle state: every button usable, ClearButton reads "Clear" again.
    virtual void EnableButtons() = 0;
    // Send, Receive, Save and Print Window locked for a transfer.
    virtual void DisableButtons() = 0;
    // ClearButton turns into "Stop"; DisableClearButton greys it.
    virtual void ShowStopButton() = 0;
    virtual bool ClearButtonReadsClear() const = 0;
    virtual void DisableClearButton() = 0;
};

} // namespace feedrail
