#!/usr/bin/env python3
"""An SFTP server for the tests, without root: one user with a password,
its files below ROOT (shown to the client as "/").

Usage: asyncssh_server.py ROOT USER PASSWORD HOSTKEY [--max-bytes N] [--cut-bytes N]
                          [--refuse-upload-names] [--refuse-rename CODE]
Prints the port it listens on (127.0.0.1), then one line per login
attempt ("auth USER") to stdout.

Test hooks: any path with a part "gesperrt" is refused (permission
denied), even for root; a stat of a path with "haengt", or a write into
such a file, never answers;
with --max-bytes, writing past N bytes into one file fails like a full disk;
with --cut-bytes, writing past N bytes drops the connection;
with --refuse-upload-names, opening a name ending in ".tavistrel-upload"
is refused (permission denied);
with --refuse-rename, every rename is refused with status CODE.
"""

import asyncio
import os
import sys

import asyncssh


def main():
    root, user, password, host_key = sys.argv[1:5]
    def option(name):
        if name in sys.argv:
            return int(sys.argv[sys.argv.index(name) + 1])
        return None

    max_bytes = option('--max-bytes')
    cut_bytes = option('--cut-bytes')
    refuse_rename = option('--refuse-rename')
    refuse_upload_names = '--refuse-upload-names' in sys.argv

    def refuse_locked(path):
        if b'gesperrt' in path.split(b'/'):
            raise asyncssh.SFTPError(asyncssh.FX_PERMISSION_DENIED, 'Permission denied')

    class TestSFTPServer(asyncssh.SFTPServer):
        def __init__(self, chan):
            super().__init__(chan, chroot=root.encode())

        hanging = set()

        def open(self, path, pflags, attrs):
            refuse_locked(path)
            if refuse_upload_names and path.endswith(b'.tavistrel-upload'):
                raise asyncssh.SFTPError(asyncssh.FX_PERMISSION_DENIED, 'Permission denied')
            file_obj = super().open(path, pflags, attrs)
            if b'haengt' in path:
                self.hanging.add(id(file_obj))
            return file_obj

        async def write(self, file_obj, offset, data):
            if id(file_obj) in self.hanging:
                await asyncio.sleep(3600)
            if cut_bytes is not None and offset + len(data) > cut_bytes:
                self.connection.abort()
                await asyncio.sleep(3600)
            if max_bytes is not None and offset + len(data) > max_bytes:
                raise asyncssh.SFTPError(asyncssh.FX_FAILURE, 'Disk quota exceeded')
            return super().write(file_obj, offset, data)

        def listdir(self, path):
            refuse_locked(path)
            return super().listdir(path)

        async def stat(self, path):
            refuse_locked(path)
            if b'haengt' in path:
                await asyncio.sleep(3600)
            return super().stat(path)

        def refuse_renaming(self, oldpath, newpath):
            refuse_locked(oldpath)
            refuse_locked(newpath)
            if refuse_rename is not None:
                raise asyncssh.SFTPError(refuse_rename, 'Rename refused')

        def rename(self, oldpath, newpath):
            self.refuse_renaming(oldpath, newpath)
            return super().rename(oldpath, newpath)

        def posix_rename(self, oldpath, newpath):
            self.refuse_renaming(oldpath, newpath)
            return super().posix_rename(oldpath, newpath)

        def remove(self, path):
            refuse_locked(path)
            return super().remove(path)

    class Server(asyncssh.SSHServer):
        def begin_auth(self, username):
            print('auth ' + username, flush=True)
            return True

        def password_auth_supported(self):
            return True

        def validate_password(self, username, given):
            return username == user and given == password

    async def start():
        server = await asyncssh.listen('127.0.0.1', 0, server_host_keys=[host_key],
                                       server_factory=Server, sftp_factory=TestSFTPServer,
                                       allow_scp=False)
        print(server.sockets[0].getsockname()[1], flush=True)
        await asyncio.Event().wait()

    asyncio.run(start())


if __name__ == '__main__':
    main()
