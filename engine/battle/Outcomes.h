#pragma once
// The distinct end states of a run in order of first appearance, each with
// the number of battles that ended in it. Lookup is by hash, so grouping a
// batch costs constant time per battle however many outcomes there are.
#include <cstddef>
#include <vector>

#include "engine/battle/Battle.h"

class TOutcomeList {
public:
    void Clear();
    void Add(const TBattleResultsRec& battle);
    void AddBatch(const TBattleResultsRec* batch, int count)
    {
        for (int i = 0; i < count; ++i) Add(batch[i]);
    }

    size_t Size() const { return Entries_.size(); }
    const TBattleResultsRec& operator[](size_t i) const { return Entries_[i]; }
    const std::vector<TBattleResultsRec>& Entries() const { return Entries_; }

private:
    void Grow();
    std::vector<TBattleResultsRec> Entries_;
    std::vector<int32_t> Slots_;  // open addressing: index into Entries_, -1 empty
};
