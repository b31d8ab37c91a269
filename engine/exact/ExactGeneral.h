#pragma once
// The general pass of the exact odds: states held by their whole key, each
// taken one round on by the round's own steps (PlayRound) with every possible
// hit count. States wait in buckets visited in order: by round with a round
// limit, else by potential (units and pools left), which a round never raises,
// so all of a state's probability has arrived before it goes on.
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "engine/exact/ExactShared.h"

namespace exact {

struct TExpander;

class TGeneralPass {
public:
    explicit TGeneralPass(TShared& shared);
    ~TGeneralPass();

    // Where the states a round reaches go, one after the other in a fixed order.
    using TArrive = std::function<void(TState&, double)>;

    // The battle start (the AA gun's outcomes), then each start's first round.
    void Start(const TArrive& arrive);
    // A state after a round, not over, to be taken on.
    void Add(const TState& s, double mass);
    // Takes every state of bucket b one round on (with a round limit, b is the
    // round they have fought). False when the bucket was empty.
    bool RunBucket(size_t b, const TArrive& arrive);
    size_t Buckets() const { return Buckets_.size(); }

private:
    struct TExpansion {
        std::vector<std::pair<TState, double>> Reached;
        TTally Tally;
    };
    void Expand(TExpander& x, const TState& s, double mass, bool fold, TExpansion& out);
    void Deliver(TExpansion& e, const TArrive& arrive);
    class TLent;
    TLent Local();

    TShared& S_;
    int32_t TopPotential_;
    // Pending states: key and probability in their bucket, and where each key is.
    struct TPending {
        TKey Key;
        double Mass;
    };
    std::vector<std::vector<TPending>> Buckets_;
    std::unordered_map<TKey, uint32_t, TKeyHash> Index_;  // position in its bucket
    size_t Pending_ = 0;
    std::vector<TExpansion> Done_;
    struct TLocals;
    std::unique_ptr<TLocals> Locals_;
};

}  // namespace exact
