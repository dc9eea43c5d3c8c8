#include "session/selector_fill.h"

#include <utility>

SelectorFill::SelectorFill(size_t itemsPerStep)
    : itemsPerStep_(itemsPerStep == 0 ? 1 : itemsPerStep) {}

void SelectorFill::Clear() {
    removals_ = 0;
    queued_.clear();
    selectionWaits_ = false;
    selection_.clear();
}

bool SelectorFill::Queue(int index, const SelectorItem& item) {
    return QueueRun(index, {item});
}

bool SelectorFill::QueueRun(int firstIndex, std::vector<SelectorItem> items) {
    if (items.empty())
        return false;
    bool wasEmpty = !Filling();
    queued_.push_back({firstIndex, std::move(items), 0});
    return wasEmpty;
}

bool SelectorFill::QueueRemoval(int count) {
    Clear();
    removals_ = count > 0 ? count : 0;
    return removals_ > 0;
}

bool SelectorFill::SelectAfterFill(const std::string& text) {
    if (!Filling())
        return false;
    selectionWaits_ = true;
    selection_ = text;
    return true;
}

bool SelectorFill::RunStep(const InsertItem& insert, const RemoveItem& remove,
                           const SelectItem& select, Clock::time_point until) {
    for (size_t done = 0; done < itemsPerStep_ && Filling(); ++done) {
        if (done > 0 && Clock::now() >= until)
            break;
        // The removals were asked for first: the box's last item goes first.
        if (removals_ > 0) {
            remove(--removals_);
            continue;
        }
        Run& run = queued_.front();
        insert(run.firstIndex + static_cast<int>(run.next), run.items[run.next]);
        if (++run.next == run.items.size())
            queued_.pop_front();
    }
    if (Filling())
        return true;
    if (selectionWaits_) {
        selectionWaits_ = false;
        select(selection_);
    }
    return false;
}
