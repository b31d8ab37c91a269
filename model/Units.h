#pragma once
// Unit catalogue: the kinds, their slots in each side's arrays, and their
// default combat values, IPC values and kill-order ranks.
#include <cstdint>

enum class TUnitKind : uint8_t { INF, ARM, FTR, JFTR, BMR, BB, AC, TRN, SUB };

constexpr int AttKinds = 8;
constexpr int DefKinds = 9;

// Array slots of the attacker (8 kinds) and the defender (9 kinds). Every
// per-side array of the program is indexed by these.
enum AttSlot : int { aINF, aARM, aFTR, aBMR, aBB, aAC, aTRN, aSUB };
enum DefSlot : int { dINF, dARM, dFTR, dJFTR, dBMR, dBB, dAC, dTRN, dSUB };

constexpr TUnitKind AttKindOrder[AttKinds] = {
    TUnitKind::INF, TUnitKind::ARM, TUnitKind::FTR, TUnitKind::BMR,
    TUnitKind::BB,  TUnitKind::AC,  TUnitKind::TRN, TUnitKind::SUB};
constexpr TUnitKind DefKindOrder[DefKinds] = {
    TUnitKind::INF, TUnitKind::ARM, TUnitKind::FTR, TUnitKind::JFTR, TUnitKind::BMR,
    TUnitKind::BB,  TUnitKind::AC,  TUnitKind::TRN, TUnitKind::SUB};

enum class TDomain : uint8_t { Land, Air, Sea };

struct TUnitInfo {
    const char* Code;   // "INF", "JFTR", ...
    const char* Name;   // "Infantry", "Jet Fighter", ...
    TDomain Domain;
    int32_t Attack;     // -1: the kind never attacks (jet fighters)
    int32_t Defence;
    int32_t IPC;
    int32_t IPCTech;    // price with Industrial Technology
};

const TUnitInfo& UnitInfo(TUnitKind kind);

constexpr int32_t MaxCount = 999;
constexpr int32_t SuperSubAttack = 3;

// Defaults, in each side's slot order.
constexpr int32_t DefaultAttValue[AttKinds] = {1, 3, 3, 4, 4, 1, 0, 2};
constexpr int32_t DefaultDefValue[DefKinds] = {2, 2, 4, 5, 1, 4, 3, 1, 2};
constexpr int32_t DefaultAttIPC[AttKinds] = {3, 5, 12, 15, 24, 18, 8, 8};
constexpr int32_t DefaultDefIPC[DefKinds] = {3, 5, 12, 12, 15, 24, 18, 8, 8};
constexpr int32_t TechAttIPC[AttKinds] = {2, 4, 11, 14, 23, 17, 7, 7};
constexpr int32_t TechDefIPC[DefKinds] = {2, 4, 11, 11, 14, 23, 17, 7, 7};

// Default basic kill orders: rank 1 is lost first.
constexpr int32_t DefaultAttOrder[AttKinds] = {1, 2, 6, 7, 8, 5, 3, 4};
constexpr int32_t DefaultDefOrder[DefKinds] = {1, 2, 6, 7, 5, 9, 8, 3, 4};

// True when ranks[0..n-1] hold each of 1..n exactly once.
bool IsKillOrder(const int32_t* ranks, int n);
