#include "engine/ExactGrid.h"

#include <algorithm>
#include <numeric>

namespace exact {

using namespace battle;

namespace {

// Cells (of one level or round) from which spreading them is worth the threads.
constexpr size_t CellsWorthThreads = 2048;

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

// The settled cells of the source rows go on: to the row after each number of
// the attacker's losses from firstLoss on, into Mass (no round limit) or NextRound.
// Each receiving row takes its shares from one task, in source order.
void TGridPass::SpreadFrom(const std::vector<int32_t>& sources, int32_t firstLoss, bool nextRound)
{
    struct TShare {
        int32_t Target, Source, Losses;
    };
    std::vector<TShare> shares;
    size_t cells = 0;
    for (int32_t x : sources) {
        const TRow& row = Rows_[x];
        if (row.Live.empty()) continue;
        cells += row.Live.size();
        int32_t lo = INT32_MAX, hi = 0;
        for (int32_t c : row.Live) {
            lo = std::min(lo, Cols_[c].Fire.Lo);
            hi = std::max(hi, Cols_[c].Fire.Hi());
        }
        for (int32_t d = std::max(firstLoss, std::min(lo, row.Units)); d <= std::min(hi, row.Units); ++d)
            shares.push_back({row.Next[d], x, d});
    }
    std::stable_sort(shares.begin(), shares.end(), [](const TShare& a, const TShare& b) { return a.Target < b.Target; });
    std::vector<size_t> groups;
    for (size_t i = 0; i < shares.size(); ++i)
        if (i == 0 || shares[i].Target != shares[i - 1].Target) groups.push_back(i);
    groups.push_back(shares.size());

    const int32_t lastCol = static_cast<int32_t>(Cols_.size()) - 1;
    std::vector<TSpreadTally> tallies(groups.size() - 1);
    ForEachIndex(tallies.size(), S_.Threads && cells >= CellsWorthThreads, [&](size_t g) {
        std::vector<int32_t> cols;
        std::vector<double> coef;
        for (size_t i = groups[g]; i < groups[g + 1]; ++i) {
            const TShare& share = shares[i];
            const TRow& from = Rows_[share.Source];
            cols.clear();
            coef.clear();
            for (int32_t c : from.Live) {
                const double q = from.Mass[c] * HitsOnAttacker(Cols_[c], share.Losses, from.Units);
                if (q > 0) {
                    cols.push_back(c);
                    coef.push_back(q);
                }
            }
            TRow& to = Rows_[share.Target];
            Spread_.Many(cols.data(), coef.data(), static_cast<int32_t>(cols.size()), from.Fire, from.Levels,
                         (nextRound ? to.NextRound : to.Mass).data(), lastCol, tallies[g]);
        }
        S_.Poll();
    });
    TTally pruned;
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
