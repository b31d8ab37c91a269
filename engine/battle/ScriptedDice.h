#pragma once
// Dice with faces given in advance, for tests and for replaying a battle.
// Once the script runs out every further die shows 6 and Exhausted() is set.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

struct TScriptedDice {
    std::vector<int> Faces;
    size_t Next = 0;
    bool Overrun = false;

    TScriptedDice() = default;
    TScriptedDice(std::initializer_list<int> faces) : Faces(faces) {}
    explicit TScriptedDice(std::vector<int> faces) : Faces(std::move(faces)) {}

    int Die()
    {
        if (Next < Faces.size()) return Faces[Next++];
        Overrun = true;
        return 6;
    }
    size_t Rolled() const { return Next; }
    bool Exhausted() const { return Overrun; }
};
