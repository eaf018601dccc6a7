// Puts a downloaded build in place of the product's executable: one rename on the same file
// system, a copy renamed into place across file systems. A check may look at the very file
// that is about to be renamed, through a descriptor it cannot swap.
#pragma once

#include <QString>
#include <functional>

namespace app {

// Gets a read-only descriptor of the file that the next step renames onto the executable;
// returns "" to go on, or the reason for refusing.
using ReplaceCheck = std::function<QString(int fd)>;

struct ReplaceOutcome {
    int error = 0;   // errno of a failure; 0 otherwise
    QString refusal; // the check's reason when it refused; nothing was changed then
    bool replaced() const { return error == 0 && refusal.isEmpty(); }
};

// Moves `download` onto `executable`, carrying the old executable's permission bits over (or
// making the file executable as the umask allows when there was none).
ReplaceOutcome ReplaceExecutable(const QString& download, const QString& executable,
                                 const ReplaceCheck& check = {});

} // namespace app
