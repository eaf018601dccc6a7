// The measured sides of the transfer benchmark (transfer_sides.cpp).
#pragma once

namespace bench {

// "--window ADDRESS FILE": the updater window downloads ADDRESS into FILE.
int runWindowSide(int argc, char** argv);
// "--upload PORT REMOTE LOCAL": the FTP client uploads LOCAL to 127.0.0.1:PORT as REMOTE.
int runUploadSide(int argc, char** argv);

} // namespace bench
