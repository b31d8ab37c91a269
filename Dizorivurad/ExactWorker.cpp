#include "Dizorivurad/ExactWorker.h"

TExactWorker::TExactWorker(QObject* parent)
    : QObject(parent), Jobs([this](uint64_t id, bool finished) {
          if (finished) emit Finished(id);
      })
{
}

TExactWorker::~TExactWorker() { Stop(); }

uint64_t TExactWorker::Start(const TBattleSetupRec& setup, TExactCalculation calculation)
{
    // The job owns its copy of the setup and of the calculation.
    return Jobs.Start([setup, calculation = std::move(calculation)](
                          const std::atomic<bool>& cancel, const TJobThreads<TExactOdds>::TPost&) {
        TExactOdds odds = calculation(setup, &cancel);
        return odds.Status == TExactStatus::Cancelled ? std::nullopt : std::optional<TExactOdds>(std::move(odds));
    });
}

std::optional<TExactOdds> TExactWorker::Take(uint64_t id)
{
    std::optional<TExactOdds> odds = Jobs.Take(id);
    Jobs.Reap(id);
    return odds;
}
