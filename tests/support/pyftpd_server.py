#!/usr/bin/env python3
"""pyftpdlib server for the tests and the benchmark.

Usage: pyftpd_server.py HOME USER PASSWORD [OPTION VALUE]...
  --tls CERT.pem KEY.pem   explicit TLS (AUTH TLS), required for login and data
  --max-upload BYTES       a STOR that grows a file past BYTES fails with 552
  --cut-upload BYTES       a STOR's data connection is cut after BYTES
  --refuse-upload-names    a STOR of a name ending in ".tavistrel-upload" gets 553
  --refuse-rename          every RNTO gets 550
Serves HOME on 127.0.0.1, on a free port that it prints as its first line
of output, until it is killed. Each command goes to standard error as
"CMD <line>", a password as "CMD PASS".
"""
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer


def limited_dtp(base, max_upload, cut_upload):
    """A data handler that refuses (552) or cuts an upload past a size."""

    class Limited(base):
        received = 0

        def handle_read(self):
            super().handle_read()
            self.received = self.tot_bytes_received
            if max_upload is not None and self.received > max_upload:
                self.cmd_channel.respond("552 Exceeded storage allocation.")
                self.cmd_channel._on_dtp_close = lambda: None
                self.close()
            elif cut_upload is not None and self.received > cut_upload:
                # No reply: the whole connection just breaks off.
                self.cmd_channel.close()

        handle_read_event = handle_read

    return Limited


def main():
    home, user, password = sys.argv[1:4]
    options = sys.argv[4:]
    tls = None
    max_upload = cut_upload = None
    refuse_upload_names = refuse_rename = False
    while options:
        name = options.pop(0)
        if name == "--tls":
            tls = (options.pop(0), options.pop(0))
        elif name == "--max-upload":
            max_upload = int(options.pop(0))
        elif name == "--cut-upload":
            cut_upload = int(options.pop(0))
        elif name == "--refuse-upload-names":
            refuse_upload_names = True
        elif name == "--refuse-rename":
            refuse_rename = True
        else:
            raise SystemExit("unknown option " + name)
    logging.basicConfig(level=logging.WARNING)
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, home, perm="elradfmwMT")
    if tls:
        from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler

        class FixedTlsDtp(TLS_DTPHandler):
            # 1.5.7 closes a data connection that is readable before its
            # transfer command arrived, which a TLS ClientHello sent right
            # after connecting makes it: wait for the command instead.
            def readable(self):
                if self._ssl_accepting or self._ssl_want_read:
                    return True
                if not self.receive and not self._initialized:
                    return False
                return super().readable()

            # 1.5.7 answers "226 Transfer complete." when the client closes
            # a data connection that never carried a transfer (after a
            # refused STOR); that reply would answer the client's next
            # command. Nothing began on it: nothing to report.
            def handle_close(self):
                if not self._initialized:
                    self.close()
                    return
                super().handle_close()

        base_handler = TLS_FTPHandler
        dtp = FixedTlsDtp
    else:
        base_handler = FTPHandler
        dtp = DTPHandler
    handler = type("Handler", (base_handler,), {})
    handler.authorizer = authorizer
    handler.auth_failed_timeout = 0  # no pause after a wrong password
    handler.dtp_handler = limited_dtp(dtp, max_upload, cut_upload) \
        if max_upload is not None or cut_upload is not None else dtp
    if tls:
        handler.certfile, handler.keyfile = tls
        handler.tls_control_required = True
        handler.tls_data_required = True

    def pre_process_command(self, line, cmd, arg):
        sys.stderr.write("CMD %s\n" % (cmd if cmd == "PASS" else line))
        sys.stderr.flush()
        if refuse_upload_names and cmd == "STOR" and arg.endswith(".tavistrel-upload"):
            self.respond("553 Name not allowed.")
            return
        if refuse_rename and cmd == "RNTO":
            self.respond("550 Permission denied.")
            return
        return base_handler.pre_process_command(self, line, cmd, arg)

    handler.pre_process_command = pre_process_command
    server = FTPServer(("127.0.0.1", 0), handler)
    print(server.address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
