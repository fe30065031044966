#pragma once

#include <functional>

namespace feedrail {

// An object that reports its changes, and can group several changes into one
// report with BeginUpdate and EndUpdate.
class TVaPersistent {
public:
    using ChangeHandler = std::function<void(TVaPersistent& sender)>;

    virtual ~TVaPersistent() = default;

    void BeginUpdate() { ++updateCount_; }
    void EndUpdate();
    void Changed();

    void SetOnChange(ChangeHandler handler) { onChange_ = std::move(handler); }

protected:
    TVaPersistent() = default;
    TVaPersistent(const TVaPersistent&) = default;
    TVaPersistent& operator=(const TVaPersistent&) = default;

private:
    int updateCount_ = 0;
    ChangeHandler onChange_;
};

} // namespace feedrail
