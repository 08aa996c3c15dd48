#include "LibSsh_p.h"
#include "platform/Error.h"

#include <dlfcn.h>

const LibSsh& libssh()
{
    static const LibSsh functions = [] {
        void* library = ::dlopen(TAVISTREL_LIBSSH_SONAME, RTLD_NOW | RTLD_LOCAL);
        if (!library)
            throw Error(QStringLiteral("Die SSH-Bibliothek \"%1\" kann nicht geladen werden (%2).")
                            .arg(QLatin1StringView(TAVISTREL_LIBSSH_SONAME),
                                 QString::fromLocal8Bit(::dlerror())));
        LibSsh loaded;
#define TAVISTREL_LIBSSH_RESOLVE(name)                                                             \
    loaded.name = reinterpret_cast<decltype(loaded.name)>(::dlsym(library, #name));                \
    if (!loaded.name)                                                                              \
        throw Error(                                                                               \
            QStringLiteral("Die SSH-Bibliothek \"%1\" ist unvollständig: \"%2\" fehlt.")           \
                .arg(QLatin1StringView(TAVISTREL_LIBSSH_SONAME), QLatin1StringView(#name)));
        TAVISTREL_LIBSSH_FUNCTIONS(TAVISTREL_LIBSSH_RESOLVE)
#undef TAVISTREL_LIBSSH_RESOLVE
        return loaded;
    }();
    return functions;
}
