// The per-user runtime folder that Qt asks for at start-up.
#pragma once

#include <QString>

namespace app {

// Without XDG_RUNTIME_DIR (a session started without a login manager, a service, a container)
// Qt falls back to a private folder under the temporary folder but prints a warning on every
// start. This makes the same choice first, quietly: tmp/runtime-<user id>, created with
// mode 0700, and sets the variable to it. A folder that exists but is not the user's own or
// is open to others is left alone (Qt then reports it: that one is a real fault). Returns the
// folder set, or an empty string when the variable was already set or nothing was set.
QString ProvideRuntimeDir(const QString& tempRoot);

} // namespace app
