"""ftp_server.py PORT ROOT LOG BANNER: pyftpdlib on 127.0.0.1 serving ROOT as "/"; every
command and reply goes to LOG."""

import logging
import sys
import warnings

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main(port, root, log, banner):
    # At DEBUG level each received line and reply is logged; our handler keeps pyftpdlib's off.
    handler = logging.FileHandler(log)
    handler.setFormatter(logging.Formatter("%(asctime)s %(message)s"))
    logging.getLogger("pyftpdlib").addHandler(handler)
    logging.getLogger("pyftpdlib").setLevel(logging.DEBUG)
    authorizer = DummyAuthorizer()
    with warnings.catch_warnings():  # write rights for anonymous users are intended here
        warnings.simplefilter("ignore", RuntimeWarning)
        authorizer.add_anonymous(root, perm="elradfmw")
    authorizer.add_user("tester", "secret", root, perm="elradfmwMT")
    FTPHandler.authorizer = authorizer
    FTPHandler.banner = banner
    FTPHandler.auth_failed_timeout = 0  # answer a failed login at once, not after 3 s
    FTPServer(("127.0.0.1", int(port)), FTPHandler).serve_forever()


if __name__ == "__main__":
    main(*sys.argv[1:5])
