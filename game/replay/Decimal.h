#pragma once
// Doubles printed by the game's own exact conversion: C runtimes and standard libraries
// differ in how (and whether) they print them, and the state line must be the same
// bytes on every platform.
#include <string>

// v with six decimals, correctly rounded (an exact tie goes to the even digit), as
// printf's "%.6f" prints it in the C locale: "-0.000000" for a small negative value,
// "inf", "-inf" and "nan" for the rest.
std::string FixedSixDecimals(double v);
