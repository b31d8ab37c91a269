#pragma once
// The refusals of a battle's "setup" object, shared by the battle file's and
// the turn file's tests: each is refused in either file, the message naming
// the member under the setup's path ("setup." here).
struct TSetupRefusal {
    const char* Members;  // inside "setup": {...}
    const char* Says;     // the message from the member on, path "setup."
};

inline constexpr TSetupRefusal SetupRefusals[] = {
    {R"("Colour": "red")", "setup.Colour: unknown member"},
    {R"("AAGun": 1)", "setup.AAGun: expected true or false"},
    {R"("Rounds": "5")", "setup.Rounds: expected a whole number, got a string"},
    {R"("AttWith": 2.5)", "setup.AttWith: expected a whole number, got a fraction"},
    {R"("AttCount": [1, 2])", "setup.AttCount: expected an array of 8 whole numbers"},
    {R"("DefCount": {})", "setup.DefCount: expected an array of 9"},
    {R"("AttCount": [0,0,1000,0,0,0,0,0])", "setup.AttCount[2]: 1000 is out of range (0 to 999)"},
    {R"("DefCount": [0,0,0,0,0,0,0,0,-1])", "setup.DefCount[8]: -1 is out of range"},
    {R"("Rounds": 0)", "setup.Rounds: 0 is out of range (1 to 999)"},
    {R"("DefWithLess": 18446744073709551615)", "setup.DefWithLess: 18446744073709551615 is out of range"},
    {R"("AttOrder": [1,2,3,4,5,6,7,7])", "setup.AttOrder: not a kill order"},
    {R"("DefOrder": [0,1,2,3,4,5,6,7,8])", "setup.DefOrder[0]: 0 is out of range (1 to 9)"},
    {R"("A\u0001B": 1)", "setup.A?B: unknown member"},  // kept on one line
};
