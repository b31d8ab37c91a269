#include "engine/Exact.h"

TExactOdds ComputeExactOdds(const TBattleSetupRec&, const std::atomic<bool>*, const TExactLimits&)
{
    TExactOdds odds;
    odds.Status = TExactStatus::TooLarge;
    odds.Reason = "exact odds are not available yet";
    return odds;
}
