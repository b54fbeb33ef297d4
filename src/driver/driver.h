// driver.h: one compilation as a whole, for the library entry, the tools
// and the tests.
#pragma once

namespace tavo {

int mainOrv();           // compiles in the current directory; always 0
void resetAll();         // every global back to its load-time state
void installNames();     // reserved words and built-in functions

}  // namespace tavo
