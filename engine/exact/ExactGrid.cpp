#include "engine/exact/ExactGrid.h"

#include <algorithm>
#include <numeric>

namespace exact {

using namespace battle;

namespace {

// Cells (of one level or round) from which spreading them is worth the threads.
constexpr size_t CellsWorthThreads = 32;

bool SameSides(const TState& a, const TState& b)
{
    return std::equal(a.Att, a.Att + AttKinds, b.Att) && std::equal(a.Def, a.Def + DefKinds, b.Def) &&
           a.AttSubsRetreated == b.AttSubsRetreated && a.DefSubsRetreated == b.DefSubsRetreated;
}

}  // namespace

TGridPass::TGridPass(TShared& shared) : S_(shared), Spread_(Spread()) {}

bool TGridPass::Take(const TState& s, double mass)
{
    if (!SetUp_) {
        // The defender's chain starts from its whole force when that can lose
        // down one order at all, so that every state of the grid lies on it;
        // else from the first such state. A battleship pool is no part of it.
        const TState& start = S_.R.Start;
        TState first = start.Def[dTRN] + start.Def[dSUB] == 0 ? start : s;
        first.AttBBDamage = first.DefBBDamage = 0;
        SetUpColumns(first);
    }
    const int32_t c = ColumnOf(s);
    if (c < 0) return false;
    TRow& row = Rows_[RowOf(s)];
    (S_.RoundByRound ? row.NextRound : row.Mass)[c] += mass;
    return true;
}

// Columns: the defender's chain, one unit lost a step by the attacker's hits.
void TGridPass::SetUpColumns(TState t)
{
    SetUp_ = true;
    for (int32_t units = DefUnits(t);; --units) {
        TColumn col;
        col.Base = t;
        col.Units = units;
        TState ready = t;
        const TDefenderStep step = DefenderStep(ready, S_.Setup, S_.R);
        if (step.LowLuckCap != INT32_MAX) Fail("a defender of the linear pass has a low luck cap");
        col.Fire = step.LowLuck() ? Hits_.LowLuck(step.LowLuckStrength)
                                  : Hits_.Of(step, DefOtherGroups, TFire::MaxGroups);
        col.Mode = static_cast<int32_t>(std::max_element(col.Fire.P.begin(), col.Fire.P.end()) - col.Fire.P.begin());
        col.Tail.assign(col.Fire.P.size() + 1, 0.0);
        for (size_t i = col.Fire.P.size(); i-- > 0;) col.Tail[i] = col.Tail[i + 1] + col.Fire.P[i];
        ColIndex_[DefenderKey(t)] = static_cast<int32_t>(Cols_.size());
        Cols_.push_back(std::move(col));
        S_.Poll();
        if (units == 0) break;
        TakeAttackerFire(t, S_.R, 1);
        if (DefUnits(t) != units - 1) Fail("a step of the defender's chain lost no unit");
    }
    HoldBytes();
}

int32_t TGridPass::ColumnOf(const TState& s) const
{
    const auto it = ColIndex_.find(DefenderKey(s));
    return it == ColIndex_.end() ? -1 : it->second;
}

// The row of an attacker, made with every row it leads to.
int32_t TGridPass::RowOf(const TState& s)
{
    const TKey key = AttackerKey(s);
    const auto found = RowIndex_.find(key);
    if (found != RowIndex_.end()) return found->second;

    const int32_t x = static_cast<int32_t>(Rows_.size());
    RowIndex_[key] = x;
    Rows_.emplace_back();
    TRow& row = Rows_.back();
    row.Base = s;
    row.Units = AttUnits(s);
    row.Fire = Hits_.Of(TAttackStep{s, S_.Setup, S_.R});
    row.FireTop = *std::max_element(row.Fire.P.begin(), row.Fire.P.end());
    MakeLevels(row.Fire, row.Levels);
    row.Mass.assign(Cols_.size(), 0.0);
    if (S_.RoundByRound) row.NextRound.assign(Cols_.size(), 0.0);
    RowBytes_ += (row.Mass.size() + row.NextRound.size() + row.Fire.P.size() + row.Units + 1) * sizeof(double) +
                 sizeof(TRow) + EntryBytes<decltype(RowIndex_)>();
    HoldBytes();
    S_.Poll();

    std::vector<int32_t> next(static_cast<size_t>(row.Units) + 1, x);
    for (int32_t i = 1; i <= Rows_[x].Units; ++i) {
        TState t = s;
        TakeDefenderFire(t, S_.Setup, S_.R, TDefenderHits{0, 0, i});
        if (AttUnits(t) != Rows_[x].Units - i) Fail("a step of the attacker's chain did not lose one unit a hit");
        next[i] = RowOf(t);
    }
    Rows_[x].Next = std::move(next);
    return x;
}

TState TGridPass::CellState(const TRow& row, const TColumn& col, int32_t round) const
{
    TState s = S_.R.Start;
    std::copy(row.Base.Att, row.Base.Att + AttKinds, s.Att);
    std::copy(col.Base.Def, col.Base.Def + DefKinds, s.Def);
    s.AttBBDamage = s.DefBBDamage = 0;
    s.AttSubsRetreated = row.Base.AttSubsRetreated;
    s.DefSubsRetreated = col.Base.DefSubsRetreated;
    s.Round = round;
    s.Over = false;
    return s;
}

// The probability that a column's fire costs an attacker of `units` units
// `losses` of them (hits past the last unit are losses of the last).
double TGridPass::HitsOnAttacker(const TColumn& col, int32_t losses, int32_t units) const
{
    const int32_t i = losses - col.Fire.Lo;
    const int32_t n = static_cast<int32_t>(col.Fire.P.size());
    if (losses < units) return i >= 0 && i < n ? col.Fire.P[i] : 0.0;
    return i <= 0 ? 1.0 : i < n ? col.Tail[i] : 0.0;
}

// Row x's cells in column order: each is ended or goes on. What goes on stays
// in Mass, and the columns it stands in in Live. With `fold` (no round limit)
// the round that changes nothing is folded in and the share in which the
// attacker loses nothing is spread along the row at once, since later cells of
// the row need it before they are settled.
void TGridPass::Settle(int32_t x, int32_t round, bool fold, TSettled& out)
{
    TRow& row = Rows_[x];
    double* mass = row.Mass.data();
    const THitDistribution& onDef = row.Fire;
    const int32_t lastCol = static_cast<int32_t>(Cols_.size()) - 1;
    TSpreadTally spread;
    row.Live.clear();
    for (int32_t c = 0; c <= lastCol; ++c) {
        double m = mass[c];
        if (m == 0) continue;
        mass[c] = 0;
        if (m < StateFloor) {
            out.Tally.Pruned += m;
            continue;
        }
        const TState cell = CellState(row, Cols_[c], round);
        TState s = cell;
        EndOfRound(s, S_.Setup, S_.R);
        if (s.Over) {
            out.Ends.emplace_back(KeyOf(s), m);
            continue;
        }
        if (!SameSides(s, cell)) Fail("the end of a round changed a state of the linear pass");
        const THitDistribution& onAtt = Cols_[c].Fire;
        if (fold) {
            const double stay = onDef.Lo == 0 && onAtt.Lo == 0 ? onDef.P[0] * onAtt.P[0] : 0.0;
            if (stay >= 1) {
                out.Tally.Unresolved += m;
                continue;
            }
            m /= 1 - stay;
            if (onAtt.Lo == 0) Spread_.One(m * onAtt.P[0], onDef, row.Levels, mass, c + onDef.Lo, lastCol, spread);
        }
        out.Tally.Rounds += m;
        mass[c] = m;  // with a fold, in place of the share that stayed
        row.Live.push_back(c);
        if (row.Live.size() % 64 == 0) S_.Poll();
    }
    out.Tally.Pruned += spread.Pruned;
    S_.AddWork(spread.Work + 8.0 * (lastCol + 1));
}

void TGridPass::Deliver(std::vector<TSettled>& settled)
{
    size_t n = 0;
    for (TSettled& s : settled) {
        for (const auto& [key, mass] : s.Ends) {
            S_.AddTerminal(key, mass);
            if (++n % 4096 == 0) S_.Poll();
        }
        S_.Add(s.Tally);
    }
    S_.Hold(THolder::Terminal, S_.Terminal.size() * EntryBytes<decltype(S_.Terminal)>());
    S_.Poll();
}

// Row x's settled cells by the attacker's losses from firstLoss on: for each
// cell the losses whose share can leave anything above the spread's floor (an
// interval around the most probable), the rest pruned at once.
void TGridPass::Outgoing(int32_t x, int32_t firstLoss, TOutgoing& out) const
{
    const TRow& row = Rows_[x];
    struct TRange {
        int32_t First, Last;  // losses below the row's units
        bool All;             // and the share that costs every unit
    };
    std::vector<TRange> ranges(row.Live.size());
    int32_t lowest = INT32_MAX, highest = -1;
    out.Pruned = 0;
    for (size_t k = 0; k < row.Live.size(); ++k) {
        const TColumn& col = Cols_[row.Live[k]];
        const double mass = row.Mass[row.Live[k]];
        const double need = SpreadFloor / (mass * row.FireTop);
        const std::vector<double>& p = col.Fire.P;
        int32_t lo = col.Mode, hi = col.Mode;
        if (p[col.Mode] >= need) {
            while (lo > 0 && p[lo - 1] >= need) --lo;
            while (hi + 1 < static_cast<int32_t>(p.size()) && p[hi + 1] >= need) ++hi;
        } else {
            hi = lo - 1;
        }
        TRange& r = ranges[k];
        r.First = std::max(col.Fire.Lo + lo, firstLoss);
        r.Last = std::min(col.Fire.Lo + hi, row.Units - 1);
        r.All = row.Units >= firstLoss && HitsOnAttacker(col, row.Units, row.Units) >= need;
        double kept = r.All ? HitsOnAttacker(col, row.Units, row.Units) : 0.0;
        for (int32_t d = r.First; d <= r.Last; ++d) kept += p[d - col.Fire.Lo];
        const double going = firstLoss <= col.Fire.Lo ? 1.0 : HitsOnAttacker(col, firstLoss, firstLoss + 1);
        out.Pruned += mass * std::max(0.0, going - kept);
        if (r.First <= r.Last) {
            lowest = std::min(lowest, r.First);
            highest = std::max(highest, r.Last);
        }
        if (r.All) {
            lowest = std::min(lowest, row.Units);
            highest = std::max(highest, row.Units);
        }
    }
    out.Shares.clear();
    out.ByLoss.clear();
    if (highest < 0) return;
    out.FirstLoss = lowest;
    out.ByLoss.assign(static_cast<size_t>(highest - lowest) + 2, 0);
    for (const TRange& r : ranges) {
        for (int32_t d = r.First; d <= r.Last; ++d) ++out.ByLoss[d - lowest + 1];
        if (r.All) ++out.ByLoss[row.Units - lowest + 1];
    }
    for (size_t i = 1; i < out.ByLoss.size(); ++i) out.ByLoss[i] += out.ByLoss[i - 1];
    out.Shares.resize(out.ByLoss.back());
    std::vector<uint32_t> next(out.ByLoss.begin(), out.ByLoss.end() - 1);
    for (size_t k = 0; k < row.Live.size(); ++k) {
        const int32_t c = row.Live[k];
        const double mass = row.Mass[c];
        const TRange& r = ranges[k];
        for (int32_t d = r.First; d <= r.Last; ++d)
            out.Shares[next[d - lowest]++] = {c, mass * Cols_[c].Fire.P[d - Cols_[c].Fire.Lo]};
        if (r.All) out.Shares[next[row.Units - lowest]++] = {c, mass * HitsOnAttacker(Cols_[c], row.Units, row.Units)};
    }
}

// The settled cells of the source rows go on: to the row after each number of
// the attacker's losses from firstLoss on, into Mass (no round limit) or
// NextRound. Each receiving row takes its shares from one task, in source
// order.
void TGridPass::SpreadFrom(const std::vector<int32_t>& sources, int32_t firstLoss, bool nextRound)
{
    size_t cells = 0;
    for (int32_t x : sources) cells += Rows_[x].Live.size();
    const bool threads = S_.Threads && cells >= CellsWorthThreads;
    std::vector<TOutgoing> outgoing(sources.size());
    ForEachIndex(sources.size(), threads, [&](size_t i) {
        Outgoing(sources[i], firstLoss, outgoing[i]);
        S_.Poll();
    });

    struct TShare {
        int32_t Target, Source, Losses;
    };
    std::vector<TShare> shares;
    TTally pruned;
    for (size_t i = 0; i < sources.size(); ++i) {
        const TOutgoing& out = outgoing[i];
        pruned.Pruned += out.Pruned;
        for (size_t d = 0; d + 1 < out.ByLoss.size(); ++d)
            if (out.ByLoss[d + 1] > out.ByLoss[d])
                shares.push_back({Rows_[sources[i]].Next[out.FirstLoss + d], static_cast<int32_t>(i),
                                  out.FirstLoss + static_cast<int32_t>(d)});
    }
    std::stable_sort(shares.begin(), shares.end(), [](const TShare& a, const TShare& b) { return a.Target < b.Target; });
    std::vector<size_t> groups;
    for (size_t i = 0; i < shares.size(); ++i)
        if (i == 0 || shares[i].Target != shares[i - 1].Target) groups.push_back(i);
    groups.push_back(shares.size());

    const int32_t lastCol = static_cast<int32_t>(Cols_.size()) - 1;
    std::vector<TSpreadTally> tallies(groups.size() - 1);
    ForEachIndex(tallies.size(), threads, [&](size_t g) {
        for (size_t i = groups[g]; i < groups[g + 1]; ++i) {
            const TShare& share = shares[i];
            const TOutgoing& out = outgoing[share.Source];
            const TRow& from = Rows_[sources[share.Source]];
            const uint32_t first = out.ByLoss[share.Losses - out.FirstLoss];
            const uint32_t end = out.ByLoss[share.Losses - out.FirstLoss + 1];
            TRow& to = Rows_[share.Target];
            Spread_.Many(out.Shares.data() + first, static_cast<int32_t>(end - first), from.Fire, from.Levels,
                         (nextRound ? to.NextRound : to.Mass).data(), lastCol, tallies[g]);
        }
        S_.Poll();
    });
    double work = 0;
    for (const TSpreadTally& t : tallies) {
        pruned.Pruned += t.Pruned;
        work += t.Work;
    }
    S_.Add(pruned);
    S_.AddWork(work);
    S_.Poll();
}

void TGridPass::RunCollapsed()
{
    std::vector<int32_t> order(Rows_.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) { return Rows_[a].Units > Rows_[b].Units; });
    for (size_t first = 0; first < order.size();) {
        size_t end = first;
        while (end < order.size() && Rows_[order[end]].Units == Rows_[order[first]].Units) ++end;
        const std::vector<int32_t> level(order.begin() + static_cast<std::ptrdiff_t>(first),
                                         order.begin() + static_cast<std::ptrdiff_t>(end));
        std::vector<TSettled> settled(level.size());
        ForEachIndex(level.size(), S_.Threads && level.size() * Cols_.size() >= CellsWorthThreads,
                     [&](size_t i) { Settle(level[i], 1, true, settled[i]); });
        Deliver(settled);
        SpreadFrom(level, 1, false);
        for (int32_t x : level) {
            std::vector<double>().swap(Rows_[x].Mass);
            std::vector<int32_t>().swap(Rows_[x].Live);
        }
        first = end;
    }
}

bool TGridPass::RunRound(int32_t round)
{
    if (Rows_.empty()) return false;
    std::vector<int32_t> all(Rows_.size());
    std::iota(all.begin(), all.end(), 0);
    for (TRow& row : Rows_) std::swap(row.Mass, row.NextRound);
    std::vector<TSettled> settled(all.size());
    ForEachIndex(all.size(), S_.Threads && all.size() * Cols_.size() >= CellsWorthThreads,
                 [&](size_t i) { Settle(all[i], round, false, settled[i]); });
    Deliver(settled);
    bool any = false;
    for (const TRow& row : Rows_) any |= !row.Live.empty();
    SpreadFrom(all, 0, true);
    for (TRow& row : Rows_) {
        for (int32_t c : row.Live) row.Mass[c] = 0;
        row.Live.clear();
    }
    return any;
}

void TGridPass::HoldBytes()
{
    S_.Hold(THolder::Grid, RowBytes_ + Hits_.Bytes() +
                               Cols_.size() * (sizeof(TColumn) + EntryBytes<decltype(ColIndex_)>() + 256));
}

}  // namespace exact
