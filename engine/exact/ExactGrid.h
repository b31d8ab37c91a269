#pragma once
// The linear pass of the exact odds. Once each side can only lose units down
// one fixed order (LosesDownOneOrder), a side's state is a place on its chain:
// the defender's chain gives the columns, the attackers that arrive give the
// rows (each row knows the rows it leads to after 0, 1, 2, ... losses; the AA
// gun's outcomes are rows of their own until their land units are gone). A
// state is a cell, and a round spreads its probability to later rows by the
// defender's hits and along each row by the attacker's.
//
// Rows are worked level by level, most attacker units first: first each row
// of the level settles its cells in column order (end tests, the round that
// changes nothing folded in, the share that stays in the row), then every row
// that the level reaches takes its shares. Both steps run on all threads, and
// every cell receives its shares in one fixed order.
#include <deque>
#include <unordered_map>
#include <vector>

#include "engine/exact/ExactShared.h"
#include "engine/exact/ExactSpread.h"

namespace exact {

class TGridPass {
public:
    explicit TGridPass(TShared& shared);

    // Takes a state after a round, not over, that loses down one order, when
    // it lies on the grid; false when it does not. The first such state sets
    // up the defender's chain.
    bool Take(const TState& s, double mass);
    // Without a round limit: every cell once.
    void RunCollapsed();
    // With a round limit: every cell of states that have fought `round`
    // rounds goes one round on. False when there was none.
    bool RunRound(int32_t round);

private:
    struct TRow {
        TState Base;                // the attacker's part of the row's states
        int32_t Units;
        std::vector<int32_t> Next;  // the row after i losses, i = 0..Units
        THitDistribution Fire;      // the attacker's hits on the defender
        double FireTop;             // its most probable count's probability
        TKernelLevels Levels;       // what of it is spread, by the share's size
        std::vector<double> Mass;   // by column: the probability of the cell's state
        std::vector<double> NextRound;  // with a round limit: the cells of the next round
        std::vector<int32_t> Live;  // the columns that go on from this row, once settled
    };
    struct TColumn {
        TState Base;               // the defender's part of the column's states
        int32_t Units;
        THitDistribution Fire;     // the defender's hits on the attacker
        int32_t Mode;              // its most probable entry
        std::vector<double> Tail;  // Tail[i]: the probability of at least Lo + i hits
    };
    // A settled row's shares for the rows it leads to: the cells' shares
    // ordered by the attacker's losses, losses FirstLoss + i in
    // Shares[ByLoss[i] .. ByLoss[i + 1]).
    struct TOutgoing {
        int32_t FirstLoss = 0;
        std::vector<uint32_t> ByLoss;
        std::vector<TCellShare> Shares;
        double Pruned = 0;
    };
    // What settling a row gives: its cells' ends, and its tally.
    struct TSettled {
        std::vector<std::pair<TKey, double>> Ends;
        TTally Tally;
    };

    void SetUpColumns(TState first);
    int32_t RowOf(const TState& s);
    int32_t ColumnOf(const TState& s) const;
    TState CellState(const TRow& row, const TColumn& col, int32_t round) const;
    double HitsOnAttacker(const TColumn& col, int32_t losses, int32_t units) const;
    void Settle(int32_t x, int32_t round, bool fold, TSettled& out);
    void Deliver(std::vector<TSettled>& settled);
    void Outgoing(int32_t x, int32_t firstLoss, TOutgoing& out) const;
    void SpreadFrom(const std::vector<int32_t>& sources, int32_t firstLoss, bool nextRound);
    void HoldBytes();

    TShared& S_;
    TStepHits Hits_;
    const TSpreadPath& Spread_;
    bool SetUp_ = false;
    std::vector<TColumn> Cols_;
    std::unordered_map<TKey, int32_t, TKeyHash> ColIndex_;
    std::deque<TRow> Rows_;  // rows stay where they are while more are made
    std::unordered_map<TKey, int32_t, TKeyHash> RowIndex_;
    size_t RowBytes_ = 0;
};

}  // namespace exact
