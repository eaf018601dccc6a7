"""ftp_server.py PORT ROOT LOG BANNER [CERT KEY]: pyftpdlib on 127.0.0.1 serving ROOT as "/";
every command and reply goes to LOG. With CERT and KEY, TLS is required on the control and
data connections."""

import logging
import sys
import warnings

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main(port, root, log, banner, cert=None, key=None):
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
    handler_class = FTPHandler
    if cert:
        from pyftpdlib.handlers import TLS_FTPHandler

        handler_class = TLS_FTPHandler
        handler_class.certfile = cert
        handler_class.keyfile = key
        handler_class.tls_control_required = True
        handler_class.tls_data_required = True
    handler_class.authorizer = authorizer
    handler_class.banner = banner
    handler_class.auth_failed_timeout = 0  # answer a failed login at once, not after 3 s
    FTPServer(("127.0.0.1", int(port)), handler_class).serve_forever()


if __name__ == "__main__":
    main(*sys.argv[1:7])
