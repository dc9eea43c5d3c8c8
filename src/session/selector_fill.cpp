#include "session/selector_fill.h"

#include <utility>

SelectorFill::SelectorFill(size_t itemsPerStep)
    : itemsPerStep_(itemsPerStep == 0 ? 1 : itemsPerStep) {}

void SelectorFill::Clear() {
    queued_.clear();
    selectionWaits_ = false;
    selection_.clear();
}

bool SelectorFill::Queue(int index, const SelectorItem& item) {
    bool wasEmpty = queued_.empty();
    queued_.push_back({false, index, item});
    return wasEmpty;
}

bool SelectorFill::QueueRemoval(int count) {
    Clear();
    for (int index = count - 1; index >= 0; --index)
        queued_.push_back({true, index, SelectorItem()});
    return !queued_.empty();
}

bool SelectorFill::SelectAfterFill(const std::string& text) {
    if (queued_.empty())
        return false;
    selectionWaits_ = true;
    selection_ = text;
    return true;
}

bool SelectorFill::RunStep(const InsertItem& insert, const RemoveItem& remove,
                           const SelectItem& select) {
    for (size_t done = 0; done < itemsPerStep_ && !queued_.empty(); ++done) {
        Queued next = std::move(queued_.front());
        queued_.pop_front();
        if (next.remove)
            remove(next.index);
        else
            insert(next.index, next.item);
    }
    if (!queued_.empty())
        return true;
    if (selectionWaits_) {
        selectionWaits_ = false;
        select(selection_);
    }
    return false;
}
