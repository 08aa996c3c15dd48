#!/usr/bin/env python3
"""pyftpdlib server for the tests and the benchmark.

Usage: pyftpd_server.py HOME USER PASSWORD
Serves HOME on 127.0.0.1, on a free port that it prints as its first line
of output, until it is killed.
"""
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    home, user, password = sys.argv[1:4]
    logging.basicConfig(level=logging.WARNING)
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, home, perm="elradfmwMT")
    handler = type("Handler", (FTPHandler,), {})
    handler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", 0), handler)
    print(server.address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
