#pragma once
// Saves that a crash, a kill or a power loss interrupted: finished or undone by
// every command that meets their files, and by "recover" on demand.

#include <iosfwd>
#include <string>
#include <vector>

namespace brindle::cli {

// Deals with the interrupted saves of these files, if any, before a command uses
// them; says what it did on err. One look at the journal folder when there are none.
void RecoverBeforeUse(const std::vector<std::string>& files, std::ostream& err);

// "brindle-cli recover [DIR]": every interrupted save (of files under folder, when
// given). 0 when none is left, 1 when one could not be finished.
int Recover(const std::string& folder, std::ostream& out, std::ostream& err);

} // namespace brindle::cli
