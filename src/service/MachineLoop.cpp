#include "service/MachineLoop.h"

#include "service/LoopPool.h"
#include "service/WorkLoop.h"

#include <utility>

namespace feedrail {

MachineLoop::MachineLoop(LoopPool& pool) : pool_(pool), loop_(pool.Take()) {}

MachineLoop::~MachineLoop() {
    pool_.Give(loop_);
}

void MachineLoop::Post(std::function<void()> work) {
    loop_.Post(Guarded(std::move(work)));
}

void MachineLoop::HandleException(std::exception_ptr error) {
    if (share_->OnError) {
        share_->OnError(error);
    }
}

void MachineLoop::Defer(std::function<void()> work) {
    Post(std::move(work));
}

void MachineLoop::After(std::chrono::milliseconds time, std::function<void()> work) {
    loop_.After(time, Guarded(std::move(work)));
}

void MachineLoop::OnError(std::function<void(std::exception_ptr)> handler) {
    share_->OnError = std::move(handler);
}

void MachineLoop::Close() {
    share_->Closed = true;
}

// One machine's error is its own: the loop goes on with the others' work.
std::function<void()> MachineLoop::Guarded(std::function<void()> work) const {
    return [share = share_, work = std::move(work)] {
        if (share->Closed) {
            return;
        }
        try {
            work();
        } catch (...) {
            if (share->OnError) {
                share->OnError(std::current_exception());
            }
        }
    };
}

} // namespace feedrail
