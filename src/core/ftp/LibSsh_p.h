#pragma once

#include <libssh/libssh.h>

// libssh, opened when the first SFTP session starts: a run that never uses
// SFTP (the editor's start among them) does not load it and its crypto
// library. The members carry libssh's names and types.
#define TAVISTREL_LIBSSH_FUNCTIONS(X)                                                              \
    X(ssh_new)                                                                                     \
    X(ssh_free)                                                                                    \
    X(ssh_options_set)                                                                             \
    X(ssh_connect)                                                                                 \
    X(ssh_disconnect)                                                                              \
    X(ssh_is_connected)                                                                            \
    X(ssh_get_error)                                                                               \
    X(ssh_get_serverbanner)                                                                        \
    X(ssh_get_server_publickey)                                                                    \
    X(ssh_get_publickey_hash)                                                                      \
    X(ssh_get_fingerprint_hash)                                                                    \
    X(ssh_clean_pubkey_hash)                                                                       \
    X(ssh_string_free_char)                                                                        \
    X(ssh_key_free)                                                                                \
    X(ssh_session_is_known_server)                                                                 \
    X(ssh_session_update_known_hosts)                                                              \
    X(ssh_userauth_none)                                                                           \
    X(ssh_userauth_list)                                                                           \
    X(ssh_userauth_publickey_auto)                                                                 \
    X(ssh_userauth_password)                                                                       \
    X(ssh_userauth_kbdint)                                                                         \
    X(ssh_userauth_kbdint_getnprompts)                                                             \
    X(ssh_userauth_kbdint_getprompt)                                                               \
    X(ssh_userauth_kbdint_setanswer)                                                               \
    X(ssh_channel_new)                                                                             \
    X(ssh_channel_free)                                                                            \
    X(ssh_channel_open_session)                                                                    \
    X(ssh_channel_request_subsystem)                                                               \
    X(ssh_channel_is_open)                                                                         \
    X(ssh_channel_is_eof)                                                                          \
    X(ssh_channel_send_eof)                                                                        \
    X(ssh_channel_close)                                                                           \
    X(ssh_channel_write)                                                                           \
    X(ssh_channel_read_timeout)

struct LibSsh
{
#define TAVISTREL_LIBSSH_POINTER(name) decltype(&::name) name = nullptr;
    TAVISTREL_LIBSSH_FUNCTIONS(TAVISTREL_LIBSSH_POINTER)
#undef TAVISTREL_LIBSSH_POINTER
};

// The functions, the library opened on the first call. Throws Error, in
// German, when the library or one of its functions cannot be found; the next
// call tries again.
const LibSsh& libssh();
