#include "format/TurnTexts.h"

#include "format/Format.h"

std::string TurnPercent(double p, char separator) { return FormatGeneral(p * 100, 3, separator) + "%"; }

std::string SignedSwing(double x, char separator)
{
    const std::string text = FormatGeneral(x, 3, separator);
    return x > 0 && text != "0" ? "+" + text : text;
}

std::string ExpectedSwingWords(const TTurnOdds& turn, char separator)
{
    return "Expected swing " + SignedSwing(turn.SwingMean, separator) + " IPC, give or take " +
           FormatGeneral(turn.SwingSd, 3, separator) + ".";
}

std::string SwingRangeWords(const TTurnOdds& turn)
{
    return "In 19 turns of 20 the swing is at least " + SignedSwing(turn.Q05) + " IPC, and in 19 of 20 at most " +
           SignedSwing(turn.Q95) + ".";
}
