"""FTP server for the tests: pyftpdlib on 127.0.0.1, serving one folder.

Started by FtpServer (servers.h) with /usr/bin/python3, where Debian's pyftpdlib lives.
Users, both with ROOT as their "/":
  anonymous (any password)  list, read, write, rename, delete, make folders
  tester / secret           all of the above plus chmod (SITE CHMOD) and MFMT
Every command and reply goes to LOG, so tests can check what a client sent. Prints
"ready" once the listening socket is bound; exits with status 1 when it cannot bind.
"""

import argparse
import logging
import sys
import warnings

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--root", required=True, help="folder served as /")
    parser.add_argument("--log", required=True, help="file receiving the protocol log")
    parser.add_argument("--banner", required=True, help="text of the 220 greeting")
    return parser.parse_args()


def log_every_command(path):
    # At DEBUG level pyftpdlib logs each received line ("<- LIST") and each reply ("-> 226 ...");
    # a handler on its own logger also keeps it from installing its default stderr one.
    handler = logging.FileHandler(path)
    handler.setFormatter(logging.Formatter("%(asctime)s %(message)s"))
    logger = logging.getLogger("pyftpdlib")
    logger.addHandler(handler)
    logger.setLevel(logging.DEBUG)


def make_handler(root, banner):
    authorizer = DummyAuthorizer()
    # pyftpdlib warns about write rights for anonymous users; here they are intended.
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", RuntimeWarning)
        authorizer.add_anonymous(root, perm="elradfmw")
    authorizer.add_user("tester", "secret", root, perm="elradfmwMT")

    class Handler(FTPHandler):
        pass

    Handler.authorizer = authorizer
    Handler.banner = banner
    # Answer a failed login at once rather than after 3 s, so such tests stay quick.
    Handler.auth_failed_timeout = 0
    # Defaults kept: no masquerade address, any passive port, PORT only to the client's
    # own address and to ports above 1023.
    return Handler


def main():
    arguments = parse_arguments()
    log_every_command(arguments.log)
    handler = make_handler(arguments.root, arguments.banner)
    try:
        server = FTPServer(("127.0.0.1", arguments.port), handler)
    except OSError as error:
        print(f"cannot listen on 127.0.0.1:{arguments.port}: {error}", flush=True)
        return 1
    print("ready", flush=True)
    server.serve_forever()
    return 0


if __name__ == "__main__":
    sys.exit(main())
